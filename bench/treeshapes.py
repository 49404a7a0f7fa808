"""The tree maker's small shapes: deep chains, one wide folder, zero-heavy subtrees and
one folder per listing case. Each plan_* function returns the root Folder of a plan."""

import treedraw
import treenames
from treeplan import ONE_BYTE, Folder


def chain(top, name, depth, every=0, data=b""):
    """Hangs `depth` nested folders named `name` under `top`; every `every` levels (when
    every > 0) the level holds a file of content `data`. Returns the deepest folder."""
    folder = top
    for level in range(1, depth + 1):
        folder = folder.add_sub(name)
        if every and level % every == 0:
            folder.add_file(b"one-byte" if data else b"zero", data)
    return folder


def plan_deep(depth, long_depth):
    """Four chains of `depth` folders "d" and one of `long_depth` folders "dd", whose path
    runs far past PATH_MAX."""
    root = Folder(b"")
    bottom = chain(root.add_sub(b"c0"), b"d", depth, 50, ONE_BYTE)
    bottom.add_sub(b"empty")
    bottom = chain(root.add_sub(b"c1"), b"d", depth)
    bottom.add_file(b"one-byte", ONE_BYTE)
    bottom = chain(root.add_sub(b"c2"), b"d", depth, 10)
    bottom.add_sub(b"empty")
    chain(root.add_sub(b"c3"), b"d", depth)
    bottom = chain(root.add_sub(b"long"), b"dd", long_depth, 100, ONE_BYTE)
    bottom.add_sub(b"empty")
    bottom.add_sub(b"zero-file").add_file(b"zero")
    return root


def plan_wide(entries):
    """One folder "wide" of `entries` entries: a twentieth of them subfolders, every
    second holding a 1-byte file, and the rest files, every twentieth of them empty."""
    root = Folder(b"")
    wide = root.add_sub(b"wide")
    folders = entries // 20
    for i in range(entries - folders):
        wide.add_file(b"file%06d" % i, b"" if i % 20 == 19 else ONE_BYTE)
    for i in range(folders):
        sub = wide.add_sub(b"sub%05d" % i)
        if i % 2 == 1:
            sub.add_file(b"one-byte", ONE_BYTE)
    return root


def grow(top, parents, rng):
    """Builds Folder objects for a tree of parents drawn by treedraw, under `top`."""
    nodes = [top]
    for p in parents[1:]:
        nodes.append(nodes[p].add_sub(treenames.folder_name(rng)))
    return nodes


def zero_subtree(rng, top, size, files):
    """Fills `top` with `size` - 1 more folders and about `files` empty files: an eighth
    of the folders are left strictly empty, every other leaf gets one empty file more
    than its share. Returns the folders and their depths."""
    parents, depths = treedraw.grow_deep(rng, size)
    nodes = grow(top, parents, rng)
    deepest = depths.index(max(depths))
    leaves = [i for i in range(size) if not nodes[i].subs and i != deepest]
    empty = set(rng.sample(leaves, min(len(leaves), size // 8)))
    holders = [i for i in range(size) if i not in empty]
    weights = [treedraw.lognormal(rng, 1.0) for _ in holders]
    shares = treedraw.spread(rng, files, weights)
    for i, share in zip(holders, shares):
        folder = nodes[i]
        if not folder.subs:
            share += 1
        for _ in range(share):
            folder.add_file(treenames.file_name(rng))
    return nodes, depths


def plan_zero(rng, folders, files):
    """Four subtrees z0..z3 of folders/4 folders each, holding only empty files and
    folders, except that z2's deepest folder and z3's top one hold a 1-byte file."""
    root = Folder(b"")
    size = max(2, folders // 4)
    for z in range(4):
        top = root.add_sub(b"z%d" % z)
        nodes, depths = zero_subtree(rng, top, size, files // 4)
        if z == 2:
            nodes[depths.index(max(depths))].add_file(b"one-byte", ONE_BYTE)
        if z == 3:
            top.add_file(b"one-byte", ONE_BYTE)
    return root


def plan_edge():
    """One folder per listing case, named for the case."""
    root = Folder(b"")
    root.add_sub(b"only-empty-folder").add_sub(b"empty")
    root.add_sub(b"only-zero-file").add_file(b"zero.txt")
    root.add_sub(b"no-files-sub-has-data").add_sub(b"sub").add_file(b"data.txt", ONE_BYTE)
    deep = root.add_sub(b"a-b-c-data").add_sub(b"b").add_sub(b"c")
    deep.add_file(b"data.txt", ONE_BYTE)
    both = root.add_sub(b"data-and-empty-sub")
    both.add_file(b"data.txt", ONE_BYTE)
    both.add_sub(b"empty")
    root.add_sub(b"only-symlink").add_link(b"link", b"missing-target")
    root.add_sub(b"only-fifo").add_fifo(b"pipe")
    zero = root.add_sub(b"zero-tree")
    b = zero.add_sub(b"b")
    b.add_file(b"zero1")
    b.add_file(b"zero2")
    b.add_sub(b"c")
    zero.add_sub(b"d")
    root.add_sub(b".hidden-empty")
    ignored = root.add_sub(b"ignore-file")
    ignored.add_file(b".ignore", b"*\n")
    ignored.add_sub(b"empty")
    root.add_sub("spaced and é".encode("utf-8"))
    return root
