"""Times voidbroom-scan and the window against find, bfs and fd on the project's own trees,
checks their output, and prints the report. What bench/run runs; its usage is USAGE."""

import contextlib
import os
import platform
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from . import latency, walks, window
from .core import Bench, CannotStart, remove
from .trees import RECIPES, tree_maker

REPO = Path(__file__).resolve().parent.parent.parent
USAGE = """Usage: bench/run BUILD_DIR        (what `make bench` runs, with BUILD_DIR = build/release)

Environment:
  VOIDBROOM_BENCH_DIR     where the temporary folder is made (default: /var/tmp or /tmp,
                          whichever has room for the trees)
  VOIDBROOM_BENCH_KEEP    a folder that keeps the generated trees between runs: trees missing
                          there are made, trees already there are reused and never removed
  VOIDBROOM_BENCH_RUNS    least number of timed runs per command on warm trees (default 10)
  VOIDBROOM_BENCH_WARMUP  untimed runs per command before the timed ones (default 2)
  VOIDBROOM_BENCH_LATENCY_RUNS, VOIDBROOM_BENCH_COLD_RUNS
                          timed runs per command on the slow mirror and with a cold cache
                          (default 3 each)
  VOIDBROOM_TREE_MAKER    the tree maker (default: bench/treemaker.py)
  VOIDBROOM_BENCH_SECTIONS  only these parts of the report, comma-separated (such as
                          "latency,window_scan"); all of them when unset

Progress, and hyperfine's own lines, go to standard error; the report goes to standard
output once everything has run. Speed targets are reported as PASS or FAIL but do not
change the exit status: it is 0 when every figure was measured and every output check
passed, 1 otherwise, and 2 when the bench cannot start (bad arguments, a missing tool).
"""

# Room the fresh trees need: the realistic tree is about 5 GB of blocks and 1.2 million
# inodes, the zero-heavy one a few hundred MB and 320,000 inodes.
NEEDED_BYTES = 8 << 30
NEEDED_INODES = 2_000_000
SCRATCH_BYTES = 64 << 20

SECTIONS = [
    walks.section_speed,
    walks.section_serial_walk,
    walks.section_per_folder,
    walks.section_same_as_find,
    walks.section_directory_reads,
    walks.section_descriptor_bound,
    latency.section_latency,
    latency.section_cold_cache,
    window.section_window_scan,
    window.section_result_list,
    window.section_save_log,
    window.section_delete,
    window.section_delete_zero_size,
]


def section_name(section):
    return section.__name__.removeprefix("section_")


def chosen_sections():
    """All sections, or those named in VOIDBROOM_BENCH_SECTIONS (comma-separated, without
    the "section_" prefix), for working on one part of the bench."""
    names = [n.strip() for n in os.environ.get("VOIDBROOM_BENCH_SECTIONS", "").split(",") if n.strip()]
    if not names:
        return SECTIONS
    by_name = {section_name(f): f for f in SECTIONS}
    unknown = [n for n in names if n not in by_name]
    if unknown:
        raise CannotStart("unknown section(s): " + ", ".join(unknown) + "; known: " + ", ".join(by_name))
    return [by_name[n] for n in names]


def first_line(argv):
    try:
        out = subprocess.run(argv, capture_output=True, text=True, check=False).stdout
        return out.strip().splitlines()[0] if out.strip() else "?"
    except OSError:
        return "?"


def machine_facts(bench):
    cpu = "?"
    with contextlib.suppress(OSError):
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    memory = "?"
    with contextlib.suppress(OSError, IndexError, ValueError):
        kb = int(Path("/proc/meminfo").read_text().split("MemTotal:")[1].split()[0])
        memory = f"{kb / (1 << 20):.1f} GiB"
    df = subprocess.run(["df", "--output=fstype,source,target", str(bench.trees_dir)],
                        capture_output=True, text=True, check=False).stdout.split("\n")
    fs = " ".join(df[1].split()) if len(df) > 1 else "?"
    head = first_line(["git", "-C", str(REPO), "describe", "--always", "--dirty"])
    tools = ("hyperfine", "find", "bfs", "fdfind")
    return [
        ("date", time.strftime("%Y-%m-%d %H:%M %Z")),
        ("processors", f"{len(os.sched_getaffinity(0))} ({cpu})"),
        ("memory", memory),
        ("kernel", f"{platform.system()} {platform.release()}"),
        ("trees in", f"{bench.trees_dir} ({fs})"),
        ("load average at start", " ".join(f"{x:.2f}" for x in os.getloadavg())),
        ("voidbroom-scan", f"{bench.scan} ({first_line([str(bench.scan), '--version'])}, "
                           f"source {head})"),
        ("tools", "; ".join(first_line([t, "--version"]) for t in tools if shutil.which(t))),
        ("hyperfine", f"-N, --warmup {bench.warmup}, --min-runs {bench.runs} on warm trees, "
                      "output to /dev/null; medians"),
    ]


def report(bench, facts):
    out = ["# voidbroom-scan benchmark", ""]
    out += [f"- {key}: {value}" for key, value in facts]
    out += ["", "Trees:"] + [f"- {note}" for note in bench.tree_notes]
    out += ["", "Commands, in the order run:", "```"] + bench.commands + ["```", ""]
    out += bench.lines
    out += ["## Summary", ""]
    out += [f"{'PASS' if passed else 'FAIL'}  {text}" for passed, text in bench.targets]
    out += [f"output checks passed: {sum(bench.checks)} of {len(bench.checks)}"]
    out += [f"PROBLEM  {p}" for p in bench.problems]
    out += [f"load average at end: {' '.join(f'{x:.2f}' for x in os.getloadavg())}; "
            f"{time.monotonic() - bench.started:.0f} s in all"]
    print("\n".join(out), flush=True)


def has_room(path, size, inodes):
    try:
        st = os.statvfs(path)
    except OSError:
        return False
    return st.f_bavail * st.f_frsize >= size and st.f_favail >= inodes


def work_parent(needed, inodes):
    """Where the temporary folder goes: VOIDBROOM_BENCH_DIR, else the first of /var/tmp and
    /tmp with room enough (a disk, not memory, when both have room)."""
    chosen = os.environ.get("VOIDBROOM_BENCH_DIR")
    if chosen:
        if not has_room(chosen, needed, inodes):
            raise CannotStart(f"{chosen} (VOIDBROOM_BENCH_DIR) lacks {needed >> 20} MiB "
                              f"or {inodes} inodes free")
        return chosen
    for candidate in ("/var/tmp", "/tmp"):
        if has_room(candidate, needed, inodes):
            return candidate
    raise CannotStart(f"neither /var/tmp nor /tmp has {needed >> 20} MiB and {inodes} "
                      "inodes free; set VOIDBROOM_BENCH_DIR to a folder that has")


def check_tools(build_dir):
    missing = [t for t in ("hyperfine", "bfs", "find", "bash", "rm", "df") if not shutil.which(t)]
    if missing:
        raise CannotStart("missing " + ", ".join(missing)
                          + " (make bench installs hyperfine, bfs, fd-find and libfuse3)")
    scan = build_dir / "cli" / "voidbroom-scan"
    if not os.access(scan, os.X_OK):
        raise CannotStart(f"no voidbroom-scan at {scan}; build first (make release)")
    if not tree_maker().is_file():
        raise CannotStart(f"no tree maker at {tree_maker()}; set VOIDBROOM_TREE_MAKER")


def make_bench(build_dir):
    keep = os.environ.get("VOIDBROOM_BENCH_KEEP")
    room = (SCRATCH_BYTES, 0) if keep else (NEEDED_BYTES, NEEDED_INODES)
    work = Path(tempfile.mkdtemp(prefix="voidbroom-bench.", dir=work_parent(*room)))
    trees_dir = Path(keep).resolve() if keep else work / "trees"
    trees_dir.mkdir(parents=True, exist_ok=True)
    if keep and not all((trees_dir / f"{n}.made").exists() for n in RECIPES) \
            and not has_room(trees_dir, NEEDED_BYTES, NEEDED_INODES):
        remove(work)
        raise CannotStart(f"{trees_dir} lacks room for the trees")
    return Bench(build_dir, RECIPES, work, trees_dir, bool(keep))


def on_signal(signum, _frame):
    raise KeyboardInterrupt(f"signal {signum}")


def main(argv):
    if len(argv) != 2 or argv[1].startswith("-"):
        print(USAGE, file=sys.stderr)
        return 2
    build_dir = Path(argv[1]).resolve()
    check_tools(build_dir)
    sections = chosen_sections()
    os.environ["LC_ALL"] = "C"
    bench = make_bench(build_dir)
    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGHUP, on_signal)
    facts = machine_facts(bench)
    interrupted = False
    try:
        for section in sections:
            with bench.attempt(section_name(section).replace("_", " ")):
                section(bench)
    except KeyboardInterrupt:
        bench.problems.append("interrupted")
        interrupted = True
    finally:
        report(bench, facts)
        keep_note = f" (the trees stay in {bench.trees_dir})" if bench.keep else ""
        bench.progress(f"removing {bench.work}{keep_note}")
        remove(bench.work)
    return 130 if interrupted else 1 if bench.problems else 0


def run():
    try:
        sys.exit(main(sys.argv))
    except CannotStart as e:
        print(f"bench: {e}", file=sys.stderr)
        sys.exit(2)
