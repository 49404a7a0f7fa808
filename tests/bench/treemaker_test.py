#!/usr/bin/env python3
"""Tests of bench/treemaker.py, the maker of the trees that the benchmark scans.

    python3 tests/bench/treemaker_test.py [PATH_TO_voidbroom-scan]

With a voidbroom-scan (as the argument or in VOIDBROOM_SCAN), the edge tree's listing is
also checked in the three modes; without one that test is skipped.
"""

import os
import re
import resource
import stat
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
TREEMAKER = os.path.join(HERE, "..", "..", "bench", "treemaker.py")
SCAN = os.environ.get("VOIDBROOM_SCAN")

PATH_MAX = 4096
FOLDER_FLAGS = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC


def make(shape, dest, *args, limit=None, hash_seed="0"):
    """Runs the tree maker (under this string hash seed, and this open-file limit when one
    is given) and returns the completed process."""
    def lower_limit():
        if limit is not None:
            _, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
            resource.setrlimit(resource.RLIMIT_NOFILE, (limit, hard))
    env = dict(os.environ, PYTHONHASHSEED=hash_seed)
    return subprocess.run([sys.executable, TREEMAKER, shape, dest, *args], env=env,
                          capture_output=True, preexec_fn=lower_limit, check=False)


def made(shape, dest, *args, **options):
    """Makes a tree and checks that the maker said so; returns its printed counts."""
    run = make(shape, dest, *args, **options)
    if run.returncode != 0:
        raise AssertionError("treemaker failed: " + run.stderr.decode(errors="replace"))
    line = run.stdout.decode()
    if line.count("\n") != 1 or not line.startswith(shape + " ") or \
            " dest=%s " % dest not in line:
        raise AssertionError("treemaker printed %r" % line)
    return counts_of(line)


def counts_of(line):
    """The key=number pairs of a summary line, the seed left out."""
    counts = {key: int(value) for key, value in re.findall(r"(\w+)=(\d+)", line)}
    counts.pop("seed", None)
    return counts


def walk(dest):
    """Every entry from `dest` down, whatever its depth, as (path below dest, depth, type,
    size, link target): read through descriptors, links not followed, sorted."""
    entries = []
    stack = [(os.open(dest, FOLDER_FLAGS), b"", 0)]
    while stack:
        fd, path, depth = stack.pop()
        entries.append((path, depth, "d", 0, b""))
        with os.scandir(fd) as listing:
            for entry in listing:
                name = os.fsencode(entry.name)
                info = entry.stat(follow_symlinks=False)
                if stat.S_ISDIR(info.st_mode):
                    child = os.open(name, FOLDER_FLAGS, dir_fd=fd)
                    stack.append((child, path + b"/" + name, depth + 1))
                    continue
                kind, target = "f", b""
                if stat.S_ISLNK(info.st_mode):
                    kind, target = "l", os.fsencode(os.readlink(name, dir_fd=fd))
                elif stat.S_ISFIFO(info.st_mode):
                    kind = "p"
                entries.append((path + b"/" + name, depth + 1, kind, info.st_size, target))
        os.close(fd)
    return sorted(entries)


def disk_counts(dest, entries):
    """The summary line's counts, as found on disk."""
    folders = [e for e in entries if e[2] == "d"]
    files = [e for e in entries if e[2] != "d"]
    parents = {e[0].rpartition(b"/")[0] for e in entries if e[0]}
    return {
        "dirs": len(folders),
        "files": len(files),
        "regular": sum(1 for e in files if e[2] == "f"),
        "zero_length": sum(1 for e in files if e[2] in "fp" and e[3] == 0),
        "symlinks": sum(1 for e in files if e[2] == "l"),
        "fifos": sum(1 for e in files if e[2] == "p"),
        "strictly_empty_dirs": sum(1 for e in folders if e[0] not in parents),
        "max_depth": max(e[1] for e in folders),
        "max_path_bytes": len(os.fsencode(dest)) + max(len(e[0]) for e in folders),
    }


def scratch_folder():
    """A new temporary folder: under TMPDIR when it is set, else in /dev/shm when there is
    one (memory is quicker than a disk for many small files), else in /tmp."""
    where = None
    if not os.environ.get("TMPDIR") and os.access("/dev/shm", os.W_OK | os.X_OK):
        where = "/dev/shm"
    return tempfile.mkdtemp(prefix="treemaker-test-", dir=where)


def remove_tree(path):
    """rm -rf, which copes with trees deeper than PATH_MAX."""
    subprocess.run(["rm", "-rf", "--one-file-system", "--", path], check=False)


class SeededShape:
    """Three trees of one shape: two from one seed, under different string hash seeds,
    and one from another seed."""

    SHAPE = ""
    ARGS = []

    @classmethod
    def setUpClass(cls):
        cls.scratch = scratch_folder()
        cls.addClassCleanup(remove_tree, cls.scratch)
        cls.dest = os.path.join(cls.scratch, "first")
        cls.printed = made(cls.SHAPE, cls.dest, "--seed", "7", *cls.ARGS, hash_seed="1")
        cls.entries = walk(cls.dest)
        again = os.path.join(cls.scratch, "again")
        made(cls.SHAPE, again, "--seed", "7", *cls.ARGS, hash_seed="2")
        cls.again_entries = walk(again)
        other = os.path.join(cls.scratch, "other")
        made(cls.SHAPE, other, "--seed", "8", *cls.ARGS)
        cls.other_entries = walk(other)

    def test_same_seed_makes_the_same_tree(self):
        self.assertGreater(len(self.entries), 1000)
        self.assertEqual(self.again_entries, self.entries)

    def test_another_seed_makes_another_tree(self):
        self.assertNotEqual(self.other_entries, self.entries)

    def test_printed_counts_are_on_disk(self):
        self.assertEqual(self.printed, disk_counts(self.dest, self.entries))

    def test_files_hold_a_byte_at_most_and_links_their_target(self):
        for path, _, kind, size, target in self.entries:
            if kind == "l":
                self.assertEqual(size, len(target), path)
                self.assertGreater(size, 0, path)
            elif kind != "d":
                self.assertLessEqual(size, 1, path)

    def test_plan_only_writes_nothing_and_agrees(self):
        dest = os.path.join(self.scratch, "plan")
        run = make(self.SHAPE, dest, "--seed", "7", "--plan-only", *self.ARGS)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertFalse(os.path.lexists(dest))
        planned = counts_of(run.stdout.decode())
        self.assertEqual(planned.pop("max_path_bytes") - len(dest),
                         self.printed["max_path_bytes"] - len(self.dest))
        self.assertEqual(planned, {k: v for k, v in self.printed.items()
                                   if k != "max_path_bytes"})


class RealisticTree(SeededShape, unittest.TestCase):
    SHAPE = "realistic"
    ARGS = ["--folders", "2000", "--files", "10000"]

    def test_sizes_as_asked(self):
        self.assertEqual((self.printed["dirs"], self.printed["files"]), (2000, 10000))
        self.assertEqual(self.printed["strictly_empty_dirs"], 2000 * 8 // 100)

    def test_holds_the_unusual_things(self):
        self.assertGreater(self.printed["symlinks"], 0)
        self.assertGreater(self.printed["fifos"], 0)
        self.assertGreaterEqual(self.printed["max_depth"], 30)
        names = [e[0].rpartition(b"/")[2] for e in self.entries]
        for wanted in (b".gitkeep", b".git", b".ignore", b"refs", b"branches"):
            self.assertIn(wanted, names)
        self.assertTrue(any(b" " in name for name in names))
        self.assertTrue(any(not is_utf8(name) for name in names))
        self.assertTrue(any(is_utf8(name) and not name.isascii() for name in names))


class ZeroTree(SeededShape, unittest.TestCase):
    SHAPE = "zero"
    ARGS = ["--folders", "400", "--files", "2000"]

    def test_only_two_files_hold_a_byte(self):
        self.assertEqual(self.printed["dirs"], 401)
        one_byte = [e for e in self.entries if e[2] != "d" and e[3] > 0]
        self.assertEqual(len(one_byte), 2, one_byte)
        in_z2, in_z3 = one_byte
        z2_depth = max(e[1] for e in self.entries if e[0].startswith(b"/z2/"))
        self.assertTrue(in_z2[0].startswith(b"/z2/"), in_z2)
        self.assertEqual(in_z2[1], z2_depth)
        self.assertEqual(in_z3[0].rpartition(b"/")[0], b"/z3")


class FixedShapes(unittest.TestCase):
    def setUp(self):
        self.scratch = scratch_folder()
        self.addCleanup(remove_tree, self.scratch)

    def check_counts(self, shape, *args, **options):
        dest = os.path.join(self.scratch, shape)
        printed = made(shape, dest, *args, **options)
        self.assertEqual(printed, disk_counts(dest, walk(dest)))
        return printed

    def test_deep_passes_path_max(self):
        printed = self.check_counts("deep", "--depth", "60", "--long-depth", "1500")
        self.assertGreater(printed["max_path_bytes"], PATH_MAX)
        self.assertEqual(printed["max_depth"], 1502)
        # The root, four chains of 60 below their tops, "empty" under c0 and c2, and the
        # long chain's top, its 1,500 levels and the two folders at its bottom.
        self.assertEqual(printed["dirs"], 1 + 4 * 61 + 2 + 1503)
        # c0: 1 every 50 levels, c1: 1, c2: 1 every 10, long: 1 every 100 and a zero one.
        self.assertEqual(printed["files"], 1 + 1 + 6 + 16)
        self.assertEqual(printed["zero_length"], 6 + 1)
        self.assertEqual(printed["strictly_empty_dirs"], 4)

    def test_deep_within_few_descriptors(self):
        printed = self.check_counts("deep", "--depth", "200", "--long-depth", "300",
                                    limit=16)
        self.assertEqual(printed["max_depth"], 302)

    def test_wide(self):
        printed = self.check_counts("wide", "--entries", "2000")
        self.assertEqual((printed["dirs"], printed["files"], printed["zero_length"],
                          printed["strictly_empty_dirs"]), (102, 1900 + 50, 95, 50))

    def test_edge(self):
        printed = self.check_counts("edge")
        self.assertEqual((printed["dirs"], printed["files"], printed["strictly_empty_dirs"],
                          printed["symlinks"], printed["fifos"]), (21, 9, 7, 1, 1))


def is_utf8(name):
    try:
        name.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return True


class ExistingDestIsRefused(unittest.TestCase):
    def setUp(self):
        self.scratch = scratch_folder()
        self.addCleanup(remove_tree, self.scratch)

    def check_refused(self, dest):
        before = walk(self.scratch)
        run = make("edge", dest)
        self.assertEqual(run.returncode, 2)
        self.assertIn(b"exists", run.stderr)
        self.assertEqual(run.stdout, b"")
        self.assertEqual(walk(self.scratch), before)

    def test_folder(self):
        dest = os.path.join(self.scratch, "there")
        os.mkdir(dest)
        with open(os.path.join(dest, "keep.txt"), "wb") as f:
            f.write(b"keep")
        self.check_refused(dest)
        with open(os.path.join(dest, "keep.txt"), "rb") as f:
            self.assertEqual(f.read(), b"keep")

    def test_file_and_dangling_link(self):
        dest = os.path.join(self.scratch, "file")
        with open(dest, "wb") as f:
            f.write(b"x")
        self.check_refused(dest)
        link = os.path.join(self.scratch, "link")
        os.symlink("nowhere", link)
        self.check_refused(link)


# What voidbroom-scan lists of each case folder of the edge tree in modes 0, 1 and 2:
# paths below the tree, "." for the tree itself, "*** " before a marked entry. By the
# listing rule, a folder with no entry at all is listed plain in every mode; mode 1 marks
# a folder whose whole content adds up to 0 bytes, and does not look inside it; mode 2
# marks a folder that holds no file of its own while its content does not add up to 0
# bytes. Links and FIFOs are files; a link's size is its target's length, a FIFO's 0.
EDGE_LISTINGS = {
    # The tree itself holds folders only, and 1-byte files further down.
    ".": ([], [], ["*** ."]),
    "only-empty-folder": (["only-empty-folder/empty"], ["*** only-empty-folder"],
                          ["only-empty-folder/empty"]),
    "only-zero-file": ([], ["*** only-zero-file"], []),
    "no-files-sub-has-data": ([], [], ["*** no-files-sub-has-data"]),
    "a-b-c-data": ([], [], ["*** a-b-c-data", "*** a-b-c-data/b"]),
    "data-and-empty-sub": (["data-and-empty-sub/empty"],) * 3,
    "only-symlink": ([], [], []),
    "only-fifo": ([], ["*** only-fifo"], []),
    "zero-tree": (["zero-tree/b/c", "zero-tree/d"], ["*** zero-tree"],
                  ["zero-tree/b/c", "zero-tree/d"]),
    ".hidden-empty": ([".hidden-empty"],) * 3,
    "ignore-file": (["ignore-file/empty"],) * 3,
    "spaced and \u00e9": (["spaced and \u00e9"],) * 3,
}


class EdgeTreeListing(unittest.TestCase):
    def setUp(self):
        if not SCAN:
            self.skipTest("no voidbroom-scan given (as the argument or in VOIDBROOM_SCAN)")
        self.scratch = scratch_folder()
        self.addCleanup(remove_tree, self.scratch)

    def test_every_case_in_every_mode(self):
        dest = os.path.join(self.scratch, "edge")
        made("edge", dest)
        self.assertEqual(sorted(os.listdir(dest)), sorted(set(EDGE_LISTINGS) - {"."}))
        for mode in (0, 1, 2):
            with self.subTest(mode=mode):
                expected = [entry for case in EDGE_LISTINGS.values() for entry in case[mode]]
                self.assertEqual(self.listing(dest, mode), sorted(expected))

    def listing(self, dest, mode):
        """voidbroom-scan's entries, with paths made relative to `dest`."""
        run = subprocess.run([SCAN, "--mode", str(mode), "--no-progress", dest],
                             capture_output=True, check=False)
        self.assertEqual(run.returncode, 0, run.stderr)
        entries = []
        for line in os.fsdecode(run.stdout).splitlines():
            mark = "*** " if line.startswith("*** ") else ""
            path = line[len(mark):]
            self.assertTrue(path.startswith(dest), line)
            below = path[len(dest):]
            if below in ("", "/"):
                entries.append(mark + ".")
            else:
                self.assertTrue(below.startswith("/"), line)
                entries.append(mark + below[1:])
        return sorted(entries)


def setUpModule():
    """The walk of the deep tree holds a descriptor per level: allow as many as may be."""
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft != resource.RLIM_INFINITY and (hard == resource.RLIM_INFINITY or hard > soft):
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


def take_scan_argument(argv):
    """Takes the voidbroom-scan path out of the arguments: the first one that names a file
    or holds a slash, unlike unittest's own options and test names."""
    for i, arg in enumerate(argv[1:], start=1):
        if not arg.startswith("-") and ("/" in arg or os.path.isfile(arg)):
            del argv[i]
            return os.path.abspath(arg)
    return SCAN


if __name__ == "__main__":
    SCAN = take_scan_argument(sys.argv)
    unittest.main()
