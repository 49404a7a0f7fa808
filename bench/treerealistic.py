"""The realistic shape: a home folder and source checkout mix of `folders` folders (the
root included) and about `files` files.

A random tree with hubs makes up most of it; under it hang deep chains, git repositories,
small clusters of only empty files and folders, and a couple of huge folders. Then its
leaves get their part: enough stay strictly empty to make 8% of all folders so, a few hold
only a .gitkeep, a symbolic link or a FIFO, and the rest hold files in log-normal numbers,
as do most of the folders above them.
"""

from dataclasses import dataclass

import treedraw
import treenames
import treeparts
from treeplan import ONE_BYTE, Folder, count_empty, count_files, count_folders
from treeshapes import grow

# Of the new folders of the random tree, the share that join a hub, the share that join
# a folder picked by how busy it is, and the chance that a new folder becomes a hub.
GROWTH = (0.08, 0.4, 0.001)
DEPTH_CAP = 18           # the random tree's depth; chains go deeper
EMPTY_SHARE = 0.08       # strictly empty folders, of all folders
KEEP_SHARE = 0.015       # leaves kept by a .gitkeep alone, of all leaves
FILELESS_SHARE = 0.25    # folders above others that hold no file of their own
ZERO_SHARE = 0.045       # empty files among the ordinary ones
FILES_SIGMA = 1.2        # spread of the files-per-folder weights
FILES_PER_LINK = 700

LINK_NAMES = (b"latest", b"current", b"link", b"prev", b"default", b"up", b"libfoo.so",
              b"config.link", b"Desktop")
FIFO_NAMES = (b"pipe", b"fifo", b"control", b"events.fifo", b"log.pipe")


@dataclass
class Quotas:
    """How many of each unusual thing a tree of this size gets."""
    empty: int
    link_only: int
    fifo_only: int
    links: int
    fifos: int
    ignores: int

    @staticmethod
    def of(folders, files):
        return Quotas(empty=int(folders * EMPTY_SHARE + 0.5),
                      link_only=max(1, folders // 2000),
                      fifo_only=max(1, folders // 20000),
                      links=max(2, files // FILES_PER_LINK),
                      fifos=max(2, folders // 10000),
                      ignores=max(1, folders // 4000))


def plan_realistic(rng, folders, files):
    quotas = Quotas.of(folders, files)
    root = Folder(b"")
    parts = plan_parts(rng, folders, files)
    used = sum(count_folders(part) for group in parts.values() for part in group)
    parents, depths = treedraw.grow_with_hubs(rng, max(2, folders - used), GROWTH,
                                              DEPTH_CAP)
    nodes = grow(root, parents, rng)
    hang_parts(rng, nodes, depths, parts)
    quotas.empty -= sum(count_empty(part) for group in parts.values() for part in group)
    holders, leaf_count = give_roles(rng, nodes, quotas)
    later = (quotas.links - quotas.link_only) + (quotas.fifos - quotas.fifo_only)
    later += quotas.ignores
    fill(rng, holders, leaf_count, files - count_files(root) - later)
    scatter(rng, holders, quotas)
    return root


def plan_parts(rng, folders, files):
    """The pieces that hang under the random tree, by kind."""
    smallest = max(1, files // 100)
    huge = [treeparts.huge_folder(rng, smallest + treedraw.below(rng, smallest + 1),
                                  treeparts.HUGE_PATTERNS[i], ZERO_SHARE) for i in range(2)]
    return {
        "chains": [treeparts.chain(rng) for _ in range(max(1, folders // 10000))],
        "gits": [treeparts.git_repository(rng) for _ in range(max(1, folders // 500))],
        "clusters": [treeparts.zero_cluster(rng) for _ in range(max(1, folders // 400))],
        "huge": huge,
    }


def hang_parts(rng, nodes, depths, parts):
    """Chains go a few levels down, git repositories into folders that have subfolders
    (with a .gitignore beside them, mostly), the rest anywhere."""
    shallow = [i for i in range(len(nodes)) if 4 <= depths[i] <= 8] or list(range(len(nodes)))
    for part in parts["chains"]:
        nodes[shallow[treedraw.below(rng, len(shallow))]].adopt(part)
    projects = [i for i in range(1, len(nodes)) if nodes[i].subs] or [0]
    for n, part in enumerate(parts["gits"]):
        if n % len(projects) == 0:
            rng.shuffle(projects)
        project = nodes[projects[n % len(projects)]]
        project.adopt(part)
        if rng.random() < 0.7:
            project.add_file(b".gitignore", b"*")
    for part in parts["clusters"] + parts["huge"]:
        nodes[treedraw.below(rng, len(nodes))].adopt(part)


def give_roles(rng, nodes, quotas):
    """Decides which leaves hold only a link, a FIFO or a .gitkeep, which stay empty, and
    which folders above others hold no file of their own. Returns the folders that get
    files, the leaves among them first, and how many leaves there are."""
    leaves = [n for n in nodes[1:] if not n.subs]
    rng.shuffle(leaves)
    keep = int(len(leaves) * KEEP_SHARE + 0.5)
    link_only = leaves[:quotas.link_only]
    fifo_only = leaves[len(link_only):len(link_only) + quotas.fifo_only]
    at = len(link_only) + len(fifo_only)
    kept = leaves[at:at + keep]
    at += len(kept) + max(0, quotas.empty)
    for folder in link_only:
        folder.add_link(treenames.pick(rng, LINK_NAMES), only_link_target(rng))
    for folder in fifo_only:
        folder.add_fifo(treenames.pick(rng, FIFO_NAMES))
    for folder in kept:
        treeparts.keep_leaf(rng, folder)
    above = [n for n in nodes if n.subs and rng.random() >= FILELESS_SHARE]
    return leaves[at:] + above, max(0, len(leaves) - at)


def only_link_target(rng):
    r = rng.random()
    if r < 0.5:
        return b"missing-" + treenames.pick(rng, treenames.FILE_STEMS)
    return b"." if r < 0.75 else b".."


def fill(rng, holders, leaf_count, budget):
    """Gives the holders `budget` ordinary files in all: one to each leaf first, the rest
    by log-normal weights."""
    weights = [treedraw.lognormal(rng, FILES_SIGMA) for _ in holders]
    shares = treedraw.spread(rng, max(0, budget - leaf_count), weights)
    for n, (folder, share) in enumerate(zip(holders, shares)):
        if n < leaf_count:
            share += 1
        for _ in range(share):
            data = b"" if rng.random() < ZERO_SHARE else ONE_BYTE
            folder.add_file(treenames.file_name(rng), data)


def scatter(rng, holders, quotas):
    """Puts the remaining links, FIFOs and .ignore files among the holders' files."""
    if not holders:
        return
    for _ in range(quotas.links - quotas.link_only):
        folder = holders[treedraw.below(rng, len(holders))]
        folder.add_link(treenames.pick(rng, LINK_NAMES), treeparts.link_target(rng, folder))
    for _ in range(quotas.fifos - quotas.fifo_only):
        holders[treedraw.below(rng, len(holders))].add_fifo(treenames.pick(rng, FIFO_NAMES))
    for _ in range(quotas.ignores):
        holders[treedraw.below(rng, len(holders))].add_file(b".ignore", b"*")
