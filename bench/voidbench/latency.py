"""Sections where every request is slow: a FUSE mirror of the project's own that sleeps in
each request and lets the kernel cache nothing, and the realistic tree with a cold cache."""

import contextlib
import os
import re
import shutil
import subprocess
import time

from .core import Unmeasured, scan_label, seconds

DELAYS_US = (0, 200, 1000)
LATENCY_MODES = (0, 1)
FIND = "find -type d -empty"
FD32 = "fdfind -j32 -H -I -te -td ."
COUNTS = re.compile(r"(\w+)=(\d+)")
DROP_CACHES = "/proc/sys/vm/drop_caches"


def latency_commands(bench, root):
    commands = [(FIND, ["find", root, "-type", "d", "-empty"]),
                (FD32, ["fdfind", "-j32", "-H", "-I", "-te", "-td", ".", root])]
    for mode in LATENCY_MODES:
        commands.append((scan_label(mode, 1), bench.scan_argv(mode, root, threads=1)))
        commands.append((scan_label(mode), bench.scan_argv(mode, root)))
    return commands


def mounted(path):
    with open("/proc/self/mountinfo", "rb") as table:
        return any(line.split()[4] == os.fsencode(path) for line in table)


@contextlib.contextmanager
def slow_mirror(bench, source, delay_us):
    """The latency mirror of `source` mounted for the block; yields (mount point, the file
    its request counts are written to when it is unmounted)."""
    mirror = bench.build_dir / "bench" / "latencyfs" / "latencyfs"
    point = bench.work / f"slow-{delay_us}"
    counts = bench.work / f"slow-{delay_us}.counts"
    point.mkdir(exist_ok=True)
    counts.unlink(missing_ok=True)
    argv = [str(mirror), "--delay-us", str(delay_us), "--count-file", str(counts), source,
            str(point)]
    bench.note_command(" ".join(argv) + " &")
    server = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    try:
        deadline = time.monotonic() + 10
        while not mounted(str(point)):
            if server.poll() is not None or time.monotonic() > deadline:
                raise Unmeasured("the latency mirror did not mount: "
                                 + server.stderr.read().decode(errors="replace").strip()[-200:])
            time.sleep(0.02)
        yield str(point), counts
    finally:
        subprocess.run(["umount", str(point)], stderr=subprocess.DEVNULL, check=False)
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


def why_no_mirror(bench):
    mirror = bench.build_dir / "bench" / "latencyfs" / "latencyfs"
    if not os.access(mirror, os.X_OK):
        return f"no latency mirror at {mirror} (it builds where libfuse3-dev is installed)"
    if not os.access("/dev/fuse", os.R_OK | os.W_OK):
        return "/dev/fuse cannot be opened here"
    if os.geteuid() != 0 and not shutil.which("fusermount3"):
        return "neither root nor fusermount3"
    if not shutil.which("fdfind"):
        return "fdfind is not installed (make bench installs fd-find)"
    return None


def requests_of(bench, source, argv):
    """The requests one run of argv makes of the mirror (no delay): kind -> count."""
    with slow_mirror(bench, source, 0) as (point, counts):
        bench.run([a if a != source else point for a in argv], stdout=subprocess.DEVNULL)
    if not counts.exists():
        raise Unmeasured("the latency mirror wrote no request counts")
    return {k: int(v) for k, v in COUNTS.findall(counts.read_text())}


def section_latency(bench):
    """find, fd with 32 threads and voidbroom-scan serial and with its default read-ahead,
    modes 0 and 1, on a mirror whose every request takes D microseconds."""
    bench.say("## Where every request is slow: a FUSE mirror sleeping D µs per request")
    bench.say()
    reason = why_no_mirror(bench)
    if reason:
        bench.skipped("the latency section", reason)
        return
    tree = bench.tree("latency")
    runs = int(os.environ.get("VOIDBROOM_BENCH_LATENCY_RUNS", "3"))
    rows, targets = [], []
    for delay in DELAYS_US:
        with bench.attempt(f"the mirror at {delay} µs"), slow_mirror(bench, tree.root, delay) as (
                point, _counts):
            timings = bench.hyperfine(f"latency-{delay}", latency_commands(bench, point),
                                      runs=runs, warmup=1 if delay == 0 else 0)
            fd = timings[FD32].median
            for label, t in timings.items():
                rows.append([delay, label, seconds(t.median), f"{t.median / fd:.2f}", t.runs])
            for mode in LATENCY_MODES:
                default, serial = timings[scan_label(mode)], timings[scan_label(mode, 1)]
                if delay:
                    targets.append((f"mirror at {delay} µs, mode {mode}, default vs fdfind -j32",
                                    default.median / fd, 0.2))
                else:
                    targets.append((f"mirror at 0 µs, mode {mode}, default vs --threads 1",
                                    default.median / serial.median, 1.0))
    bench.say(f"{tree.folders} folders, {tree.files} files; kernel caching off; medians")
    bench.say()
    bench.table(["D (µs)", "command", "median", "vs fdfind -j32", "runs"], rows)
    for text, value, limit in targets:
        bench.target(text, value, limit)
    request_table(bench, tree)


def request_table(bench, tree):
    rows = []
    with bench.attempt("requests per folder"):
        for label, argv in latency_commands(bench, tree.root):
            counts = requests_of(bench, tree.root, argv)
            kinds = " ".join(f"{k} {v / tree.folders:.2f}" for k, v in counts.items()
                             if k != "total" and v)
            rows.append([label, counts.get("total", 0), f"{counts.get('total', 0) / tree.folders:.2f}",
                         kinds])
        bench.table(["command", "requests", "per folder", "per folder, by kind"], rows)


def cold_commands(bench, root):
    commands = [(f"fdfind -j{j} -H -I -te -td .",
                 ["fdfind", f"-j{j}", "-H", "-I", "-te", "-td", ".", root]) for j in (8, 16, 32)]
    for threads in (None, 1, 16, 64):
        commands.append((scan_label(0, threads), bench.scan_argv(0, root, threads=threads)))
    return commands


def futex_counter(bench):
    """How futex calls are counted: perf's system-call tracepoint where it can be read, which
    costs the run nothing, else strace, which slows every call and so adds contention."""
    probe = ["perf", "stat", "-x,", "-e", "syscalls:sys_enter_futex", "true"]
    if shutil.which("perf") and subprocess.run(probe, capture_output=True).returncode == 0:
        return "perf"
    return "strace" if shutil.which("strace") else None


def futex_calls(bench, counter, argv, drop):
    """The futex calls of one cold run of `argv`, every thread's."""
    out = bench.work / "futex.txt"
    bench.run(drop)
    if counter == "perf":
        bench.run(["perf", "stat", "-x,", "-e", "syscalls:sys_enter_futex", "-o", out] + argv)
        for line in out.read_text().splitlines():
            if "sys_enter_futex" in line:
                return int(line.split(",")[0])
        return 0
    bench.run(["strace", "-f", "-c", "-e", "trace=futex", "-o", out] + argv)
    for line in out.read_text().splitlines():
        fields = line.split()
        if fields and fields[-1] == "futex":
            return int(fields[3])
    return 0


def section_cold_cache(bench):
    """The realistic tree with the page cache, dentries and inodes dropped before every run:
    fd at 8, 16 and 32 threads beside voidbroom-scan at its default, 1, 16 and 64, in paired
    rounds; then the futex calls per folder of the default and of 64 threads."""
    bench.say("## Cold cache: the realistic tree after dropping the kernel's caches")
    bench.say()
    if os.geteuid() != 0 or not os.access(DROP_CACHES, os.W_OK):
        bench.skipped("the cold-cache section", f"only root may write {DROP_CACHES}")
        return
    tree = bench.tree("realistic")
    commands = cold_commands(bench, tree.root)
    drop = ["sh", "-c", f"sync && echo 3 > {DROP_CACHES}"]
    runs = int(os.environ.get("VOIDBROOM_BENCH_COLD_RUNS", "3"))
    timings = bench.hyperfine_in_turns("cold", commands, prepare=[drop], rounds=runs)
    best_fd = min(timings[label].median for label, _ in commands[:2])
    default = timings[scan_label(0)]
    bench.timing_table(timings, scan_label(0))
    bench.target("cold realistic tree, mode 0, default vs the best of fdfind -j8 and -j16",
                 default.median / best_fd, 0.8)
    bench.target("cold realistic tree, mode 0, --threads 64 vs the default",
                 timings[scan_label(0, 64)].median / default.median, 1.1)
    counter = futex_counter(bench)
    if not counter:
        bench.skipped("futex calls per folder", "neither perf nor strace can count them")
        return
    rows = []
    for threads in (None, 64):
        calls = futex_calls(bench, counter, bench.scan_argv(0, tree.root, threads=threads), drop)
        rows.append([scan_label(0, threads), calls, f"{calls / tree.folders:.2f}", counter])
    bench.table(["command (cold)", "futex calls", "per folder", "counted by"], rows)
    bench.target("futex calls per folder at 64 threads, cold", rows[-1][1] / tree.folders, 4.0)
