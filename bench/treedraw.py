"""Random draws for the tree maker that come out the same on every machine.

random.Random(seed).random() is the same everywhere, and so are +, -, *, / on floats, but
math.exp and math.log come from the platform's C library and may differ in the last bit.
The draws here therefore use only random() and plain arithmetic, so that a seed names one
tree and one tree only.
"""


def exp(x):
    """e to the power x, from the four operations alone (halve, sum the series, square)."""
    halvings = 0
    while x > 0.5 or x < -0.5:
        x /= 2.0
        halvings += 1
    term = 1.0
    total = 1.0
    for k in range(1, 16):
        term = term * x / k
        total += term
    for _ in range(halvings):
        total *= total
    return total


def normal(rng):
    """About a standard normal draw: the sum of twelve uniform draws, less six."""
    total = 0.0
    for _ in range(12):
        total += rng.random()
    return total - 6.0


def lognormal(rng, sigma):
    """A skewed positive weight: e to the power of a normal draw of spread sigma."""
    return exp(sigma * normal(rng))


def below(rng, n):
    """An index in [0, n) from one uniform draw."""
    return int(rng.random() * n)


def spread(rng, total, weights):
    """Shares `total` out by `weights`: each gets the whole part of its due, and what is
    left over goes one by one to holders drawn at random. The shares sum to `total`."""
    if not weights:
        return []
    whole = 0.0
    for w in weights:
        whole += w
    shares = [int(total * w / whole) for w in weights]
    left = total - sum(shares)
    n = len(shares)
    for _ in range(left):
        shares[below(rng, n)] += 1
    return shares


def grow_with_hubs(rng, count, shares, depth_cap):
    """Parents and depths of a random tree of `count` nodes, node 0 at the top.

    shares = (hub, busy, hub_chance). Each new node hangs under an earlier one: with chance
    `hub` under one of the hubs, nodes made hubs with chance `hub_chance` as they come
    (the early ones end up with hundreds of children); with chance `busy` under one picked
    in proportion to its children plus one; otherwise under any earlier node alike. A node
    at depth_cap takes no children: the choice moves up to its parent instead."""
    hub, busy, hub_chance = shares
    parents = [-1]
    depths = [0]
    picks = [0]
    hubs = []
    for i in range(1, count):
        r = rng.random()
        if r < hub and hubs:
            p = hubs[below(rng, len(hubs))]
        elif r < hub + busy:
            p = picks[below(rng, len(picks))]
        else:
            p = below(rng, i)
        while depths[p] >= depth_cap:
            p = parents[p]
        parents.append(p)
        depths.append(depths[p] + 1)
        picks.append(p)
        picks.append(i)
        if rng.random() < hub_chance and depths[i] < depth_cap:
            hubs.append(i)
    return parents, depths


def grow_deep(rng, count):
    """Parents and depths of a random tree that leans towards recent nodes: each new node
    hangs under the latest of three earlier nodes drawn alike, which makes it about three
    times as deep as a tree drawn plainly."""
    parents = [-1]
    depths = [0]
    for i in range(1, count):
        latest = max(rng.random(), rng.random(), rng.random())
        p = int(latest * i)
        parents.append(p)
        depths.append(depths[p] + 1)
    return parents, depths
