"""The trees the sections ask for: each recipe builds its tree at `dest` (which does not
exist yet) and returns it; `recipe` says how, so a kept tree is reused only when it was made
the same way."""

import os
import re
import sys
from pathlib import Path

from .core import Tree, Unmeasured

BENCH = Path(__file__).resolve().parent.parent
CHAIN_DEPTH = 20_000
DELETABLE_FOLDERS = 100_000
ZERO_FOLDERS = 100_000
LATENCY_FOLDERS = 5_000


def tree_maker():
    """The project's tree maker, or the one VOIDBROOM_TREE_MAKER names (for cross-checks;
    it must take SHAPE DEST --seed S and print its counts as key=value)."""
    return Path(os.environ.get("VOIDBROOM_TREE_MAKER", BENCH / "treemaker.py")).resolve()


def made_by_tree_maker(*args):
    """A tree made by the tree maker with these arguments."""

    def make(bench, name, dest):
        line = bench.run([sys.executable, tree_maker(), *args, dest]).stdout.decode()
        counts = dict(re.findall(r"(\w+)=(\d+)", line))
        if "dirs" not in counts or "files" not in counts:
            raise Unmeasured(f"the tree maker printed no counts: {line.strip()!r}")
        return Tree(name, dest, int(counts["dirs"]), int(counts["files"]), counts)

    make.recipe = f"{tree_maker().name} " + " ".join(args)
    return make


def make_chain(bench, name, dest):
    """A single chain of CHAIN_DEPTH folders named "d"; the last holds a 1-byte file "x"
    and an empty folder "leaf". Made relative to open descriptors, one at a time, since the
    path is far longer than PATH_MAX."""
    bench.note_command(f"(python) mkdir {dest}, then {CHAIN_DEPTH} nested folders 'd' "
                       "through openat/mkdirat, then d/.../d/x (1 byte) and d/.../d/leaf/")
    flags = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC
    os.mkdir(dest)
    fd = os.open(dest, flags)
    try:
        for _ in range(CHAIN_DEPTH):
            os.mkdir("d", dir_fd=fd)
            child = os.open("d", flags, dir_fd=fd)
            os.close(fd)
            fd = child
        f = os.open("x", os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_CLOEXEC, 0o644, dir_fd=fd)
        os.write(f, b"x")
        os.close(f)
        os.mkdir("leaf", dir_fd=fd)
    finally:
        os.close(fd)
    return Tree(name, dest, CHAIN_DEPTH + 2, 1, {"depth": CHAIN_DEPTH})


make_chain.recipe = f"chain of {CHAIN_DEPTH} folders"


def make_deletable(bench, name, dest):
    """DELETABLE_FOLDERS empty folders in a tree of fan-out 10, and a zero-length file beside
    every folder of the deepest level: what a marked folder of mode 1 may hold."""
    bench.note_command(f"(python) {DELETABLE_FOLDERS} nested empty folders d0..d9 (fan-out 10) "
                       "and a zero-length file z0..z9 beside each deepest one")
    os.mkdir(dest)
    counts = {"folders": 1, "files": 0}

    def fill(path, depth):
        for i in range(10):
            if counts["folders"] > DELETABLE_FOLDERS:
                return
            child = os.path.join(path, f"d{i}")
            os.mkdir(child)
            counts["folders"] += 1
            if depth < 5:
                fill(child, depth + 1)
            else:
                open(os.path.join(path, f"z{i}"), "w").close()
                counts["files"] += 1

    fill(dest, 1)
    return Tree(name, dest, counts["folders"], counts["files"], {})


make_deletable.recipe = f"deletable: {DELETABLE_FOLDERS} empty folders and zero-length files"


def make_zero_folders(bench, name, dest):
    """ZERO_FOLDERS folders of total size 0, each with three zero-length files and an empty
    subfolder, in groups of 1,000 beside a file with data in each group: what mode 1 lists,
    and deletes, folder by folder."""
    bench.note_command(f"(python) {ZERO_FOLDERS} folders g*/f*/ of z0, z1, z2 (zero-length) "
                       "and e/ (empty), with a file g*/keep of one byte")
    os.mkdir(dest)
    for i in range(ZERO_FOLDERS):
        group = os.path.join(dest, f"g{i // 1000}")
        if i % 1000 == 0:
            os.mkdir(group)
            with open(os.path.join(group, "keep"), "w") as keep:
                keep.write("x")
        folder = os.path.join(group, f"f{i % 1000}")
        os.makedirs(os.path.join(folder, "e"))
        for z in range(3):
            open(os.path.join(folder, f"z{z}"), "w").close()
    groups = (ZERO_FOLDERS + 999) // 1000
    return Tree(name, dest, 1 + groups + 2 * ZERO_FOLDERS, groups + 3 * ZERO_FOLDERS, {})


make_zero_folders.recipe = f"zero folders: {ZERO_FOLDERS} folders of zero-length files"

RECIPES = {
    "deletable": make_deletable,
    "zero-folders": make_zero_folders,
    "realistic": made_by_tree_maker("realistic", "--seed", "1"),
    "deep": made_by_tree_maker("deep", "--seed", "1"),
    "zero": made_by_tree_maker("zero", "--seed", "1"),
    "latency": made_by_tree_maker("realistic", "--seed", "1", "--folders", str(LATENCY_FOLDERS),
                                  "--files", str(5 * LATENCY_FOLDERS)),
    "chain": make_chain,
}
