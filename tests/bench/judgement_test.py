#!/usr/bin/env python3
"""Tests of how the benchmark judges two commands timed in turns (bench/voidbench/core.py):
the ratio of their medians, its interval over the rounds, and the "no slower" target.

    python3 tests/bench/judgement_test.py
"""

import os
import pathlib
import random
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))

from voidbench.core import Bench, Timing, Unmeasured, ratio_interval, timing_of  # noqa: E402
from voidbench.window import scan_command_times  # noqa: E402


def timing(times):
    return timing_of(times) if times else Timing(0.0, 0.0, 0.0, 0, [])


def rounds(count, seed, drift=0.10, noise=0.03, slower=1.0):
    """Two commands' times over `count` rounds on a machine whose speed drifts from round to
    round by up to `drift`: the command judged, which takes `slower` times as long as the
    other, and that other."""
    draw = random.Random(seed)
    first, second = [], []
    for _ in range(count):
        speed = 1.5 * (1 + draw.uniform(-drift, drift))
        first.append(speed * (1 + draw.gauss(0, noise)))
        second.append(speed * slower * (1 + draw.gauss(0, noise)))
    return timing(second), timing(first)


def bench_in(folder):
    return Bench(pathlib.Path(folder), {}, pathlib.Path(folder), pathlib.Path(folder), False)


class RatioIntervalTest(unittest.TestCase):
    def test_interval_holds_the_ratio_and_narrows_with_rounds(self):
        a, b = rounds(10, seed=3)
        ratio, low, high = ratio_interval(a, b)
        self.assertLessEqual(low, ratio)
        self.assertLessEqual(ratio, high)
        wide = high - low
        a, b = rounds(200, seed=3)
        _, low, high = ratio_interval(a, b)
        self.assertLess(high - low, wide / 2)

    def test_same_rounds_give_the_same_interval(self):
        a, b = rounds(20, seed=5)
        self.assertEqual(ratio_interval(a, b), ratio_interval(a, b))

    def test_no_rounds_is_unmeasured(self):
        with self.assertRaises(Unmeasured):
            ratio_interval(timing([]), timing([]))


class NoSlowerTest(unittest.TestCase):
    def judge(self, a, b):
        with tempfile.TemporaryDirectory() as folder:
            bench = bench_in(folder)
            bench.no_slower("default vs serial", a, b)
            return bench.targets[-1]

    def test_a_command_against_its_equal_passes_in_nearly_every_series(self):
        passed = sum(self.judge(*rounds(20, seed))[0] for seed in range(40))
        self.assertGreaterEqual(passed, 36)

    def test_a_command_five_percent_slower_fails_in_nearly_every_series(self):
        failed = sum(not self.judge(*rounds(20, seed, slower=1.05))[0] for seed in range(40))
        self.assertGreaterEqual(failed, 36)

    def test_the_report_gives_the_ratio_and_its_interval(self):
        passed, text = self.judge(*rounds(20, seed=1))
        self.assertRegex(text,
                         r"^default vs serial: \d\.\d{3}x \(95% interval \d\.\d{3}–\d\.\d{3}x;")


class ScanCommandTimesTest(unittest.TestCase):
    def test_warm_up_runs_are_dropped_per_mode_and_order_kept(self):
        with tempfile.TemporaryDirectory() as folder:
            bench = bench_in(folder)
            bench.warmup = 2
            path = pathlib.Path(folder) / "times.txt"
            path.write_text("0 9.0\n0 9.1\n0 1.5\n1 8.0\n1 8.1\n1 2.5\n0 1.6\n1 2.6\n")
            self.assertEqual(scan_command_times(bench, path), {0: [1.5, 1.6], 1: [2.5, 2.6]})

    def test_no_file_is_unmeasured(self):
        with tempfile.TemporaryDirectory() as folder:
            with self.assertRaises(Unmeasured):
                scan_command_times(bench_in(folder), pathlib.Path(folder) / "none.txt")


if __name__ == "__main__":
    unittest.main()
