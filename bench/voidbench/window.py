"""Sections on the window: its Scan against voidbroom-scan offscreen and on an X server,
a million-entry result list, Save Log after a scan, and Delete selected against rm -rf."""

import contextlib
import os
import re
import shlex
import shutil
import statistics
import subprocess

from . import trees
from .core import MODES, Unmeasured, ratio_interval, scan_label, seconds, timing_of
from .walks import run_counting_lines

LIST_ENTRIES = 1_000_000


@contextlib.contextmanager
def x_server(bench):
    """An Xvfb display for the length of the block: the environment to run windows in, or
    None when Xvfb is not installed."""
    if not shutil.which("Xvfb"):
        yield None
        return
    read_end, write_end = os.pipe()
    argv = ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
            "tcp"]
    bench.note_command(shlex.join(argv))
    server = subprocess.Popen(argv, pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as numbers:
        display = numbers.readline().strip()
    try:
        if not display:
            raise Unmeasured("Xvfb started no display")
        yield dict(os.environ, DISPLAY=f":{display}", QT_QPA_PLATFORM="xcb")
    finally:
        server.terminate()
        server.wait()


def section_window_scan(bench):
    """The window's own Scan against voidbroom-scan on the same tree, timed in turns,
    offscreen and on X11: what the window adds to the walk (events, caption, list)."""
    tree = bench.tree("realistic")
    bench.say("## The window's Scan (offscreen) against voidbroom-scan, realistic tree")
    bench.say()
    compare_window(bench, tree, "offscreen", dict(os.environ, QT_QPA_PLATFORM="offscreen"), 1.2)
    bench.say("## The window's Scan on X11 (Xvfb) against voidbroom-scan, realistic tree")
    bench.say()
    with x_server(bench) as env:
        if env is None:
            bench.skipped("the window on X11", "Xvfb is not installed (make bench installs it)")
        else:
            compare_window(bench, tree, "X11", env, 1.1)
    for mode in MODES:
        listed = bench.run([bench.window, "scan", "--mode", mode, tree.root]).stdout.decode()
        printed = run_counting_lines(bench, bench.scan_argv(mode, tree.root))[1]
        bench.check(f"mode {mode}: the window lists as many entries as voidbroom-scan prints "
                    f"({listed.strip()} and {printed})", listed.strip() == str(printed))
    bench.say()


def compare_window(bench, tree, where, env, limit):
    """Times the window program and voidbroom-scan in turns; the window program notes the
    time of its Scan command in every run, so both ratios come from the same rounds."""
    times_path = bench.work / f"window-scan-times-{where}.txt"
    times_path.unlink(missing_ok=True)
    commands = []
    for mode in MODES:
        commands.append((f"window Scan, mode {mode}",
                         [bench.window, "scan", "--mode", mode, tree.root]))
        commands.append((scan_label(mode), bench.scan_argv(mode, tree.root)))
    timings = bench.hyperfine_in_turns(f"window-scan-{where}", commands,
                                       env=dict(env, VOIDBROOM_BENCH_SCAN_TIMES=str(times_path)))
    alone = scan_command_times(bench, times_path)
    rows = []
    for mode in MODES:
        win, cli = timings[f"window Scan, mode {mode}"], timings[scan_label(mode)]
        noted = alone.get(mode, [])
        if len(noted) != win.runs:
            raise Unmeasured(f"the window program timed {len(noted)} of its {win.runs} "
                             f"Scans in mode {mode}")
        command = timing_of(noted)
        value, low, high = ratio_interval(win, cli)
        rows.append([mode, seconds(win.median), seconds(command.median), seconds(cli.median),
                     ratio_cell(value, low, high), ratio_cell(*ratio_interval(command, cli))])
        bench.target(f"window Scan ({where}) vs voidbroom-scan, mode {mode}", value, limit,
                     (low, high))
    bench.table(["mode", "window program (start-up, Scan, exit)", "Scan command alone",
                 "voidbroom-scan", "ratio of rounds (95% interval)", "the same, command alone"],
                rows)


def ratio_cell(value, low, high):
    return f"{value:.3f} ({low:.3f} … {high:.3f})"


def scan_command_times(bench, path):
    """The times the window program noted of its Scan command, by mode, in the order run,
    without the warm-up runs of the first round."""
    by_mode = {}
    try:
        lines = path.read_text().split("\n")
    except OSError as e:
        raise Unmeasured(f"the window program noted no Scan times: {e}") from e
    for line in filter(None, lines):
        mode, took = line.split()
        by_mode.setdefault(int(mode), []).append(float(took))
    return {mode: times[bench.warmup:] for mode, times in by_mode.items()}


def section_result_list(bench):
    """A million entries in the result list: appended as a scan appends them, repainted,
    and selected by the two selection commands."""
    bench.say(f"## A result list of {LIST_ENTRIES:,} entries (offscreen)")
    bench.say()
    out = bench.run([bench.window, "list", LIST_ENTRIES]).stdout.decode()
    bench.say("```")
    for line in out.strip().splitlines():
        bench.say(line)
    bench.say("```")
    bench.say()


def section_delete(bench):
    """Deleting a marked folder as Delete selected does, against rm -rf, each on a fresh copy
    of the same tree made (and flushed to disk) before every run."""
    tree = bench.tree("deletable")
    bench.say(f"## Deleting a folder of {tree.folders - 1:,} empty folders and {tree.files:,} "
              "zero-length files, against rm -rf")
    bench.say()
    copy = bench.work / "deleted-copy"
    refresh = ["bash", "-c", f"rm -rf {shlex.quote(str(copy))} && "
               f"cp -a {shlex.quote(tree.root)} {shlex.quote(str(copy))} && sync"]
    delete = bench.build_dir / "bench" / "voidbroom-delete-bench"
    timings = bench.hyperfine("delete", [("Delete selected", [delete, copy]),
                                         ("rm -rf", ["rm", "-rf", copy])], prepare=[refresh])
    bench.timing_table(timings, "rm -rf")
    bench.target("deleting a marked folder vs rm -rf",
                 timings["Delete selected"].median / timings["rm -rf"].median, 1.5)
    bench.run(refresh)
    bench.run([delete, copy])
    bench.check("the folder is gone after one deletion", not os.path.lexists(copy))
    bench.say()


def section_delete_zero_size(bench):
    """voidbroom-scan --delete --mode 1, walk included, against rm -rf of the same tree, each
    on a fresh copy made (and flushed to disk) before every run: every zero-length file is
    put aside, leased, checked and only then removed."""
    tree = bench.tree("zero-folders")
    folders = trees.ZERO_FOLDERS
    bench.say(f"## Deleting {folders:,} folders of total size 0 (mode 1), against rm -rf")
    bench.say()
    copy = bench.work / "zero-copy"
    refresh = ["bash", "-c", f"rm -rf {shlex.quote(str(copy))} && "
               f"cp -a {shlex.quote(tree.root)} {shlex.quote(str(copy))} && sync"]
    scan = bench.build_dir / "cli" / "voidbroom-scan"
    timings = bench.hyperfine("delete-zero", [
        ("voidbroom-scan --delete --mode 1", [scan, "--delete", "--mode", "1", copy]),
        ("rm -rf", ["rm", "-rf", copy])], prepare=[refresh], runs=3, warmup=0)
    bench.timing_table(timings, "rm -rf")
    bench.target("mode 1 deletion of zero-size folders vs rm -rf",
                 timings["voidbroom-scan --delete --mode 1"].median / timings["rm -rf"].median,
                 2.0)
    bench.run(refresh)
    listed = bench.run([scan, "--delete", "--mode", "1", copy]).stdout.decode().count("\n")
    left = [name for group in os.listdir(copy) for name in os.listdir(copy / group)]
    bench.check(f"every zero-size folder is deleted ({listed:,} printed), the files with data "
                "stay", listed == folders and set(left) == {"keep"})
    bench.say()


def section_save_log(bench):
    """Saving the log after a mode 1 scan of the realistic tree, against that scan's time,
    both measured inside the window program (offscreen), three times; medians."""
    bench.say("## Save Log after a mode 1 scan of the realistic tree (offscreen)")
    bench.say()
    tree = bench.tree("realistic")
    scans, saves, last = [], [], ""
    for _ in range(3):
        last = bench.run([bench.window, "save", tree.root]).stdout.decode()
        scan = re.search(r"scan, mode 1: ([\d.]+) ms", last)
        save = re.search(r"save log: ([\d.]+) ms", last)
        if not scan or not save:
            raise Unmeasured(f"unexpected output: {last.strip()!r}")
        scans.append(float(scan.group(1)) / 1e3)
        saves.append(float(save.group(1)) / 1e3)
    scan, save = statistics.median(scans), statistics.median(saves)
    bench.say("```")
    bench.say(last.strip())
    bench.say("```")
    bench.say()
    bench.table(["", "median of 3"], [["scan, mode 1", seconds(scan)], ["Save Log", seconds(save)]])
    bench.target("Save Log vs the mode 1 scan it follows", save / scan, 1.0)
