"""Pieces of the realistic tree, each planned on its own before it is hung in place: deep
chains, git repositories, small zero-size clusters and huge folders."""

import treedraw
import treenames
from treeplan import ONE_BYTE, Folder

HOOKS = (b"pre-commit.sample", b"pre-push.sample", b"commit-msg.sample",
         b"post-update.sample", b"pre-rebase.sample", b"update.sample",
         b"applypatch-msg.sample", b"prepare-commit-msg.sample")

HUGE_PATTERNS = (b"frame_%06d.png", b"msg.%07d", b"%06d.jpg", b"part-%05d.log")

ZERO_NAMES = (b"__init__.py", b".keep", b"placeholder", b"empty.txt", b"lock", b".nomedia")


def chain(rng):
    """A chain of 30 to 60 folders with short names; the deepest is empty, or holds only
    empty files, or holds 1-byte files."""
    depth = 30 + treedraw.below(rng, 31)
    top = Folder(treenames.chain_name(rng))
    folder = top
    for _ in range(depth - 1):
        folder = folder.add_sub(treenames.chain_name(rng))
    kind = treedraw.below(rng, 3)
    if kind == 0:
        return top
    data = b"" if kind == 1 else ONE_BYTE
    for _ in range(1 + treedraw.below(rng, 3)):
        folder.add_file(treenames.file_name(rng), data)
    return top


def git_repository(rng):
    """A .git folder as git init and a few commits leave it: objects/info, refs/tags and
    branches are empty, objects/pack often too."""
    git = Folder(b".git")
    for name in (b"HEAD", b"config", b"description", b"index"):
        git.add_file(name, ONE_BYTE)
    hooks = git.add_sub(b"hooks")
    for name in rng.sample(HOOKS, 2 + treedraw.below(rng, 5)):
        hooks.add_file(name, ONE_BYTE)
    git.add_sub(b"info").add_file(b"exclude", ONE_BYTE)
    objects = git.add_sub(b"objects")
    objects.add_sub(b"info")
    pack = objects.add_sub(b"pack")
    if rng.random() < 0.5:
        stem = b"pack-" + treenames.hex_name(rng, 40)
        pack.add_file(stem + b".idx", ONE_BYTE)
        pack.add_file(stem + b".pack", ONE_BYTE)
    for fan in rng.sample(range(256), treedraw.below(rng, 7)):
        folder = objects.add_sub(b"%02x" % fan)
        for _ in range(1 + treedraw.below(rng, 3)):
            folder.add_file(treenames.hex_name(rng, 38), ONE_BYTE)
    refs = git.add_sub(b"refs")
    refs.add_sub(b"heads").add_file(b"main" if rng.random() < 0.6 else b"master", ONE_BYTE)
    refs.add_sub(b"tags")
    git.add_sub(b"branches")
    if rng.random() < 0.3:
        logs = git.add_sub(b"logs")
        logs.add_file(b"HEAD", ONE_BYTE)
        logs.add_sub(b"refs").add_sub(b"heads").add_file(b"main", ONE_BYTE)
    return git


def zero_cluster(rng):
    """One to eight folders holding only empty files and empty folders."""
    size = 1 + treedraw.below(rng, 8)
    top = Folder(treenames.folder_name(rng))
    nodes = [top]
    for _ in range(size - 1):
        nodes.append(nodes[treedraw.below(rng, len(nodes))].add_sub(treenames.folder_name(rng)))
    for folder in nodes:
        for _ in range(treedraw.below(rng, 4) if rng.random() < 0.6 else 0):
            if rng.random() < 0.3:
                folder.add_file(treenames.pick(rng, ZERO_NAMES))
            else:
                folder.add_file(treenames.file_name(rng))
    return top


def huge_folder(rng, count, pattern, zero_share):
    """A folder of `count` files with numbered names, such as a mail folder or a folder of
    video frames, a share of them empty."""
    folder = Folder(b"cur" if pattern.startswith(b"msg") else treenames.folder_name(rng))
    for i in range(count):
        folder.add_file(pattern % i, b"" if rng.random() < zero_share else ONE_BYTE)
    return folder


def keep_leaf(rng, folder):
    """Turns a leaf into one that only a placeholder keeps: a .gitkeep, sometimes with
    more empty files."""
    folder.add_file(b".gitkeep")
    if rng.random() < 0.25:
        for _ in range(1 + treedraw.below(rng, 3)):
            folder.add_file(treenames.pick(rng, ZERO_NAMES))


def link_target(rng, folder):
    """What a symbolic link in `folder` points at: a sibling file or folder, a name that
    does not exist, the folder itself, or its parent."""
    r = rng.random()
    if r < 0.45 and folder.files:
        return folder.files[treedraw.below(rng, len(folder.files))][0]
    if r < 0.6 and folder.subs:
        return folder.subs[treedraw.below(rng, len(folder.subs))].name
    if r < 0.8:
        return b"missing-" + treenames.pick(rng, treenames.FILE_STEMS)
    if r < 0.92:
        return b"."
    return b".."
