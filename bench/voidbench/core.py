"""The bench: where things live, how commands run and are timed, what the report holds."""

import contextlib
import dataclasses
import json
import os
import random
import shlex
import statistics
import subprocess
import sys
import time

MODES = (0, 1, 2)


class CannotStart(Exception):
    """The bench cannot run at all: a tool, the program or room for the trees is missing."""


class Unmeasured(Exception):
    """A figure could not be obtained: a command failed or printed something unexpected."""


@dataclasses.dataclass
class Tree:
    name: str
    root: str
    folders: int  # every folder, the root included
    files: int
    counts: dict  # what the tree maker reported, by key


@dataclasses.dataclass
class Timing:
    median: float
    low: float
    high: float
    runs: int
    times: list = dataclasses.field(default_factory=list, repr=False)


class Bench:
    """What every section uses. A section asks for trees with tree(NAME), finds the
    program's binaries under build_dir, times commands with hyperfine(), prints with say(),
    table() and timing_table(), and records results with target() (reported only) and
    check() (a failure makes the exit status 1). `work` is scratch room for copies."""

    def __init__(self, build_dir, recipes, work, trees_dir, keep):
        self.build_dir = build_dir
        self.scan = build_dir / "cli" / "voidbroom-scan"
        self.window = build_dir / "bench" / "voidbroom-window-bench"
        self.recipes = recipes
        self.work = work            # scratch, always removed at the end
        self.trees_dir = trees_dir  # the trees: under work, or the folder that keeps them
        self.keep = keep
        self.runs = int(os.environ.get("VOIDBROOM_BENCH_RUNS", "10"))
        self.warmup = int(os.environ.get("VOIDBROOM_BENCH_WARMUP", "2"))
        self.lines = []
        self.commands = []
        self.targets = []   # (passed, text)
        self.checks = []    # passed or not, in order
        self.problems = []  # failed checks and figures that could not be measured
        self.timings = {}   # tree name -> {command label: Timing}
        self.tree_notes = []  # how each tree came to be, for the report
        self._trees = {}
        self.started = time.monotonic()

    # -- output

    def say(self, line=""):
        self.lines.append(line)

    def progress(self, text):
        elapsed = int(time.monotonic() - self.started)
        print(f"bench [{elapsed // 60}:{elapsed % 60:02}]: {text}", file=sys.stderr, flush=True)

    def table(self, header, rows):
        self.say("| " + " | ".join(header) + " |")
        self.say("|" + "---|" * len(header))
        for row in rows:
            self.say("| " + " | ".join(str(cell) for cell in row) + " |")
        self.say()

    def timing_table(self, timings, baseline):
        """Medians of one hyperfine run, each against the baseline command's median."""
        base = timings[baseline].median
        rows = [[label, seconds(t.median), f"{t.median / base:.2f}",
                 f"{seconds(t.low)} … {seconds(t.high)}", t.runs]
                for label, t in timings.items()]
        self.table(["command", "median", f"vs {baseline.split()[0]}", "min … max", "runs"], rows)

    def target(self, text, value, limit, interval=None):
        """A speed figure against its goal: reported, never fatal. `interval`, when given, is
        the figure's 95% interval (low, high), shown with it."""
        passed = value <= limit
        shown = f"{value:.2f}x" if interval is None else f"{value:.3f}x ({spread(interval)})"
        self.targets.append((passed, f"{text}: {shown} (target at most {limit:.2f}x)"))

    def no_slower(self, text, timing, baseline):
        """A target of at most 1.00x between two commands timed in turns. Met when the median
        of the rounds' ratios is at most 1.00, or when its 95% interval reaches 1.00: a
        difference smaller than the runs can tell from noise is not a slower command."""
        value, low, high = ratio_interval(timing, baseline)
        passed = value <= 1.0 or low <= 1.0
        self.targets.append((passed, f"{text}: {value:.3f}x ({spread((low, high))}; target at "
                                     "most 1.00x, or 1.00x within that interval)"))

    def check(self, text, passed):
        """An output check: a failure makes the whole bench fail."""
        self.say(f"{'PASS' if passed else 'FAIL'}  {text}")
        self.checks.append(passed)
        if not passed:
            self.problems.append(f"check failed: {text}")

    def skipped(self, what, reason):
        self.say(f"SKIPPED  {what}: {reason}")
        self.say()

    @contextlib.contextmanager
    def attempt(self, what):
        """Runs the block; a figure that cannot be measured is recorded, and the bench goes on."""
        try:
            yield
        except Unmeasured as e:
            self.say(f"NOT MEASURED  {what}: {e}")
            self.say()
            self.problems.append(f"not measured: {what}: {e}")

    # -- commands

    def note_command(self, text):
        self.commands.append(text)

    def run(self, argv, ok_codes=(0,), **kwargs):
        """Runs argv, records its command line; output is captured unless redirected."""
        argv = [str(a) for a in argv]
        self.note_command(shlex.join(argv))
        kwargs.setdefault("stdout", subprocess.PIPE)
        kwargs.setdefault("stderr", subprocess.PIPE)
        done = subprocess.run(argv, **kwargs)
        if done.returncode not in ok_codes:
            err = done.stderr.decode(errors="replace").strip() if done.stderr else ""
            raise Unmeasured(f"`{shlex.join(argv)[:200]}` exited with {done.returncode}"
                             + (f": {err.splitlines()[-1]}" if err else ""))
        return done

    def scan_argv(self, mode, root, stats=False, threads=None):
        argv = [str(self.scan)] + (["--stats"] if stats else [])
        if threads is not None:
            argv += ["--threads", str(threads)]
        return argv + ["--mode", str(mode), root]

    def hyperfine(self, name, commands, prepare=(), runs=None, warmup=None, env=None):
        """Times the (label, argv) commands in one hyperfine run, output to /dev/null, no
        shell in between; `prepare` holds one argv for every command, or one each; `env`, when
        given, is the commands' whole environment. Returns {label: Timing} in the order given."""
        json_path = self.work / f"{name}.json"
        argv = ["hyperfine", "-N", "--style", "basic",
                "--warmup", self.warmup if warmup is None else warmup,
                "--min-runs", self.runs if runs is None else runs,
                "--output", "null", "--export-json", json_path]
        if runs is not None:
            argv += ["--max-runs", runs]
        for p in prepare:
            argv += ["--prepare", shlex.join(str(a) for a in p)]
        for label, command in commands:
            argv += ["-n", label, shlex.join(str(a) for a in command)]
        self.progress(f"timing {name}")
        self.run(argv, stdout=sys.stderr, stderr=None, env=env)
        return read_timings(json_path)

    def hyperfine_in_turns(self, name, commands, env=None, prepare=(), rounds=None):
        """As hyperfine(), but the commands take turns run by run: every round times each
        command once, every other round in the reverse order, and each command's runs are
        pooled. Commands whose times are close are then not told apart by the machine's speed
        drifting between their blocks of runs, as it does on a shared virtual machine by more
        than the difference being measured. Twice the usual runs (or `rounds`), the warm-up
        in the first; `prepare` as for hyperfine()."""
        results = []
        for turn in range(rounds or 2 * self.runs):
            order = commands if turn % 2 == 0 else list(reversed(commands))
            warmup = None if turn == 0 and not prepare else 0
            results.append(self.hyperfine(f"{name}-{turn + 1}", order, runs=1, warmup=warmup,
                                          env=env, prepare=prepare))
        return {label: pooled(*(r[label] for r in results)) for label, _ in commands}

    # -- trees

    def tree(self, name):
        """The tree called `name` among the recipes, made on first use (or reused when kept)."""
        if name not in self._trees:
            self._trees[name] = self._kept(name) or self._made(name)
        return self._trees[name]

    def _kept(self, name):
        made = self.trees_dir / f"{name}.made"
        if not self.keep or not made.exists():
            return None
        saved = json.loads(made.read_text())
        if saved.get("recipe") != self.recipes[name].recipe or not (self.trees_dir / name).is_dir():
            return None
        self.progress(f"reusing {name} tree in {self.trees_dir / name}")
        tree = Tree(**saved["tree"])
        self.tree_notes.append(f"{describe(tree)}, reused from {self.trees_dir}")
        return tree

    def _made(self, name):
        make = self.recipes[name]
        dest = self.trees_dir / name
        made = self.trees_dir / f"{name}.made"
        if os.path.lexists(dest):
            made.unlink(missing_ok=True)
            remove(dest)
        self.progress(f"making {name} tree in {dest}")
        start = time.monotonic()
        tree = make(self, name, str(dest))
        # Writing the trees leaves gigabytes of dirty pages; flush them now, not while timing.
        os.sync()
        self.tree_notes.append(f"{describe(tree)}, made in {time.monotonic() - start:.0f} s")
        made.write_text(json.dumps({"recipe": make.recipe, "tree": dataclasses.asdict(tree)}))
        return tree


def read_timings(json_path):
    try:
        results = json.loads(json_path.read_text())["results"]
    except (OSError, ValueError, KeyError) as e:
        raise Unmeasured(f"hyperfine left no readable {json_path.name}: {e}") from e
    timings = {}
    for r in results:
        times = r.get("times") or []
        if not times:
            raise Unmeasured(f"hyperfine reported no runs of {r.get('command')!r}")
        median = r.get("median", statistics.median(times))
        timings[r["command"]] = Timing(median, min(times), max(times), len(times), times)
    return timings


def timing_of(times):
    """A command's timing from its run times, in the order run."""
    return Timing(statistics.median(times), min(times), max(times), len(times), list(times))


def pooled(*timings):
    """One command's runs from several hyperfine runs as one timing."""
    return timing_of([t for timing in timings for t in timing.times])


def ratio_interval(timing, baseline, resamples=2000):
    """How much slower `timing` is than `baseline`, two commands timed in turns whose i-th
    runs come from the same round: the median of the rounds' ratios, so that the machine's
    drift from round to round cancels, with its 95% interval, the rounds resampled with
    replacement under a fixed seed so that a report can be made again.
    Returns (ratio, low, high)."""
    ratios = [a / b for a, b in zip(timing.times, baseline.times)]
    if not ratios:
        raise Unmeasured("no rounds to compare")
    draw = random.Random(1)
    medians = sorted(statistics.median(draw.choices(ratios, k=len(ratios)))
                     for _ in range(resamples))
    return (statistics.median(ratios), medians[int(0.025 * resamples)],
            medians[int(0.975 * resamples) - 1])


def spread(interval):
    low, high = interval
    return f"95% interval {low:.3f}–{high:.3f}x"


def describe(tree):
    files = "1 file" if tree.files == 1 else f"{tree.files} files"
    return f"{tree.name}: {tree.folders} folders, {files}"


def seconds(s):
    if s >= 1:
        return f"{s:.3f} s"
    if s >= 1e-3:
        return f"{s * 1e3:.1f} ms"
    return f"{s * 1e6:.0f} µs"


def remove(path):
    # rm copes with trees deeper than PATH_MAX and than Python's recursion limit
    subprocess.run(["rm", "-rf", "--one-file-system", "--", str(path)], check=False)


def scan_label(mode, threads=None):
    return f"voidbroom-scan --mode {mode}" + (f" --threads {threads}" if threads else "")
