"""Sections on the walk itself: its speed against the peers on warm trees, its cost per
folder, its agreement with find, how often it reads a folder, and its descriptor bound."""

import re
import shlex
import shutil
import subprocess
import tempfile

from .core import MODES, Unmeasured, ratio_interval, scan_label, seconds
from .trees import CHAIN_DEPTH

FIND = "find -type d -empty"
BFS = "bfs -type d -empty"
FD = "fdfind -H -I -te -td ."
SPEED_TREES = ("realistic", "deep", "zero")
CHAIN_NOFILE = 1024
STATS = re.compile(rb"(\d+) folders visited, (\d+) directory reads \(([\d.]+) per folder\), "
                   rb"(\d+) folders opened in all, (\d+) of them again for sizes")
READ_AHEAD = re.compile(rb"(\d+) by readers ahead")


def peers(root):
    """The peers' commands for strictly empty folders, those that are installed."""
    commands = [(FIND, ["find", root, "-type", "d", "-empty"]),
                (BFS, ["bfs", root, "-type", "d", "-empty"])]
    if shutil.which("fdfind"):
        commands.append((FD, ["fdfind", "-H", "-I", "-te", "-td", ".", root]))
    return commands


def section_speed(bench):
    """Each tree timed in one hyperfine run: the three modes and the peers side by side."""
    bench.say("## Time to walk each tree (warm cache, output to /dev/null)")
    bench.say()
    for name in SPEED_TREES:
        with bench.attempt(f"timing on the {name} tree"):
            tree = bench.tree(name)
            commands = [(scan_label(m), bench.scan_argv(m, tree.root)) for m in MODES]
            timings = bench.hyperfine(f"speed-{name}", commands + peers(tree.root))
            bench.timings[name] = timings
            bench.say(f"### {name}: {tree.folders} folders, {tree.files} files")
            bench.say()
            bench.timing_table(timings, FIND)
    realistic = bench.timings.get("realistic")
    if realistic:
        for mode, limit in ((0, 0.60), (1, 0.75), (2, 0.75)):
            bench.target(f"realistic tree, mode {mode} vs find",
                         realistic[scan_label(mode)].median / realistic[FIND].median, limit)


def section_serial_walk(bench):
    """The default against the serial walk (--threads 1) on the warm realistic tree, where
    reading ahead has nothing to hide and must cost nothing: timed in turns, since the two
    are close enough for the machine's drift during one run to decide; and how many folders
    the default read ahead once the turns were over."""
    tree = bench.tree("realistic")
    bench.say("## The default against --threads 1 (warm realistic tree, timed in turns)")
    bench.say()
    commands = []
    for mode in MODES:
        commands += [(scan_label(mode), bench.scan_argv(mode, tree.root)),
                     (scan_label(mode, 1), bench.scan_argv(mode, tree.root, threads=1))]
    timings = bench.hyperfine_in_turns("serial-walk", commands)
    rows = []
    for mode in MODES:
        default, serial = timings[scan_label(mode)], timings[scan_label(mode, 1)]
        value, low, high = ratio_interval(default, serial)
        ahead = read_ahead_count(bench, bench.scan_argv(mode, tree.root, stats=True))
        rows.append([mode, seconds(default.median), seconds(serial.median), f"{value:.3f}",
                     f"{low:.3f} … {high:.3f}", ahead, default.runs])
        bench.no_slower(f"warm realistic tree, mode {mode}, default vs --threads 1", default,
                        serial)
    bench.table(["mode", "default", "--threads 1", "ratio of rounds", "95% interval",
                 "read ahead", "runs each"], rows)


def read_ahead_count(bench, argv):
    """How many folders voidbroom-scan --stats says its readers opened ahead of the walk."""
    err = bench.run(argv, stdout=subprocess.DEVNULL).stderr.strip()
    m = READ_AHEAD.search(err.splitlines()[-1] if err else b"")
    if not m:
        raise Unmeasured(f"`{shlex.join(str(a) for a in argv)[:120]}` printed no read-ahead count")
    return int(m.group(1))


def section_per_folder(bench):
    """Median time per folder, and how the deep and zero-heavy trees compare with the
    realistic one: the walk's cost should not grow with depth or with zero-size subtrees."""
    bench.say("## Time per folder")
    bench.say()
    missing = [n for n in SPEED_TREES if n not in bench.timings]
    if missing:
        raise Unmeasured("no timings for the " + ", ".join(missing) + " tree(s)")
    others = [n for n in SPEED_TREES if n != "realistic"]
    rows = []
    for label in [scan_label(m) for m in MODES] + [FIND, BFS]:
        per = {n: bench.timings[n][label].median / bench.tree(n).folders for n in SPEED_TREES}
        ratios = {n: per[n] / per["realistic"] for n in others}
        rows.append([label] + [f"{per[n] * 1e6:.2f} µs" for n in SPEED_TREES]
                    + [f"{ratios[n]:.2f}" for n in others])
        if label.startswith("voidbroom-scan"):
            for n in others:
                bench.target(f"{n} tree, mode {label[-1]}, time per folder vs the realistic "
                             "tree's", ratios[n], 2.0)
    bench.table(["command"] + list(SPEED_TREES) + [f"{n} / realistic" for n in others], rows)


def entry_set(output):
    """The folder paths of a listing, as bytes: one per line, without a final "/"."""
    paths = []
    for line in output.split(b"\n"):
        if line:
            paths.append(line[:-1] if line.endswith(b"/") and line != b"/" else line)
    return paths


def shorten(path):
    text = repr(path)
    return text if len(text) <= 160 else f"{text[:70]} … {text[-70:]} ({len(path)} bytes)"


def section_same_as_find(bench):
    """Mode 0 lists exactly the folders that `find -type d -empty` prints, compared as bytes."""
    bench.say("## Mode 0 against find -type d -empty (sets of paths, compared as bytes)")
    bench.say()
    rows, verdicts = [], []
    for name in SPEED_TREES:
        with bench.attempt(f"comparing with find on the {name} tree"):
            tree = bench.tree(name)
            ours = entry_set(bench.run(bench.scan_argv(0, tree.root)).stdout)
            theirs = entry_set(bench.run(["find", tree.root, "-type", "d", "-empty"]).stdout)
            only_ours = sorted(set(ours) - set(theirs))
            only_theirs = sorted(set(theirs) - set(ours))
            duplicates = len(ours) - len(set(ours))
            rows.append([name, len(ours), len(theirs), tree.counts.get("strictly_empty_dirs", "?"),
                         len(only_ours), len(only_theirs), duplicates])
            verdicts.append((name, not only_ours and not only_theirs and not duplicates,
                             only_ours[:3], only_theirs[:3]))
    bench.table(["tree", "voidbroom-scan --mode 0", "find", "tree maker's count",
                 "only in voidbroom-scan", "only in find", "listed twice"], rows)
    for name, same, ours, theirs in verdicts:
        bench.check(f"{name} tree: mode 0 lists the same folders as find", same)
        for path in ours:
            bench.say(f"    only in voidbroom-scan: {shorten(path)}")
        for path in theirs:
            bench.say(f"    only in find: {shorten(path)}")
    bench.say()


def walk_stats(bench, argv):
    """The figures voidbroom-scan --stats prints: visited, reads, per folder, opens, again."""
    err = bench.run(argv, stdout=subprocess.DEVNULL).stderr.strip()
    line = err.splitlines()[-1] if err else b""
    m = STATS.search(line)
    if not m:
        raise Unmeasured(f"`{shlex.join(str(a) for a in argv)[:120]}` printed no counts: {line!r}")
    return [x.decode() for x in m.groups()]


def section_directory_reads(bench):
    """How often the walk reads each folder: `--stats` once per mode and tree."""
    bench.say("## Directory reads (voidbroom-scan --stats)")
    bench.say()
    rows = []
    for name in SPEED_TREES:
        with bench.attempt(f"directory reads on the {name} tree"):
            tree = bench.tree(name)
            for mode in MODES:
                visited, reads, per, opens, again = walk_stats(
                    bench, bench.scan_argv(mode, tree.root, stats=True))
                rows.append([name, tree.folders, mode, visited, reads, per,
                             f"{int(reads) / tree.folders:.2f}", opens, again])
    # The tool divides by the folders it visited; mode 1 visits fewer than the tree holds
    # (it does not enter marked folders), so the reads per folder of the tree are shown too.
    bench.table(["tree", "folders", "mode", "folders visited", "directory reads",
                 "reads per folder visited", "reads per folder of the tree",
                 "folders opened", "opened again for sizes"], rows)


def section_descriptor_bound(bench):
    """A chain 20,000 folders deep scans completely with only 1024 descriptors allowed."""
    bench.say(f"## A chain of {CHAIN_DEPTH} folders under `ulimit -n {CHAIN_NOFILE}`")
    bench.say()
    tree = bench.tree("chain")
    leaf = tree.root.encode() + b"/d" * CHAIN_DEPTH + b"/leaf"
    # Mode 2 marks the root and every chain folder but the last (no files of their own,
    # non-zero total); modes 0 and 1 list the leaf alone.
    expected = {0: 1, 1: 1, 2: CHAIN_DEPTH + 1}
    rows, verdicts = [], []
    for mode in MODES:
        with bench.attempt(f"the {CHAIN_DEPTH}-level chain in mode {mode}"):
            argv = ["bash", "-c", f'ulimit -n {CHAIN_NOFILE} && exec "$@"', "bash",
                    *bench.scan_argv(mode, tree.root, stats=True)]
            code, lines, last, err = run_counting_lines(bench, argv)
            m = STATS.search(err)
            visited = int(m.group(1)) if m else None
            rows.append([mode, code, lines, expected[mode], visited, tree.folders,
                         "yes" if last == leaf else "no"])
            verdicts.append((mode, code == 0 and last == leaf and lines == expected[mode]
                             and visited == tree.folders, err))
    bench.table(["mode", "exit", "entries", "expected", "folders visited", "folders",
                 "leaf listed last"], rows)
    for mode, passed, err in verdicts:
        bench.check(f"mode {mode}: the whole chain is walked with {CHAIN_NOFILE} descriptors",
                    passed)
        if not passed and err:
            bench.say(f"    stderr: {err.decode(errors='replace')[-300:]!r}")
    bench.say()


def run_counting_lines(bench, argv):
    """Runs argv, streaming its standard output (hundreds of MB for the chain in mode 2):
    returns the exit status, the number of lines, the last line and standard error."""
    bench.note_command(shlex.join(str(a) for a in argv))
    lines, last, partial = 0, b"", b""
    with tempfile.TemporaryFile(dir=bench.work) as err:
        with subprocess.Popen([str(a) for a in argv], stdout=subprocess.PIPE, stderr=err) as p:
            while chunk := p.stdout.read(1 << 20):
                lines += chunk.count(b"\n")
                data = partial + chunk
                end = data.rfind(b"\n")
                if end >= 0:
                    last = data[data.rfind(b"\n", 0, end) + 1:end]
                    data = data[end + 1:]
                partial = data
            code = p.wait()
        err.seek(0)
        return code, lines, last, err.read()
