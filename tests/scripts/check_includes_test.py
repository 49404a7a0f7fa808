#!/usr/bin/env python3
"""Tests of the include rules' check (scripts/check-includes) on small trees made for each
test: a tree that keeps the rules passes, and each broken rule is named with its file and line.

    python3 tests/scripts/check_includes_test.py
"""

import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parent.parent.parent / "scripts" / "check-includes"

# A tree that keeps every rule: each folder includes along its arrows.
GOOD = {
    "fs/Fd.h": "#include <unistd.h>\n",
    "fs/Paths.cpp": '#include "fs/Fd.h"\n#include "Paths.h"\n',
    "scan/Walker.cpp": '#include "fs/Fd.h"\n#include "scan/Walker.h"\n',
    "results/List.h": '#include "scan/Entry.h"\n#include "fs/Fd.h"\n',
    "log/Writer.cpp": '#include "results/List.h"\n#include "scan/Entry.h"\n#include <string>\n',
    "app/Form1.cpp": '#include <QWidget>\n#include "log/Writer.h"\n#include "app/Form1.h"\n',
    "cli/ScanCommand.cpp": '#include "results/List.h"\n#include "cli/ScanCommand.h"\n',
    "tests/fs/FdTest.cpp": '#include "cli/ScanCommand.h"\n#include "app/Form1.h"\n',
}


def check(files):
    """Runs the check on a tree of `files` (path: text); returns its status and its output."""
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root) / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        run = subprocess.run([sys.executable, str(SCRIPT), root], capture_output=True, text=True)
        return run.returncode, run.stdout


def with_file(name, text):
    files = dict(GOOD)
    files[name] = text
    return files


class IncludeRulesTest(unittest.TestCase):
    def test_a_tree_that_keeps_the_rules_passes(self):
        status, out = check(GOOD)
        self.assertEqual(status, 0, out)

    def test_each_broken_rule_is_named_with_its_file_and_line(self):
        cases = [
            ("fs/Open.cpp", '#include "fs/Fd.h"\n#include "scan/Walker.h"\n',
             "fs/Open.cpp:2 includes scan/Walker.h: fs/ includes nothing of the other folders"),
            ("scan/Remove.h", '#include "results/List.h"\n',
             "scan/Remove.h:1 includes results/List.h: scan/ may include only fs/ and scan/"),
            ("results/Save.cpp", '\n#include "log/Writer.h"\n',
             "results/Save.cpp:2 includes log/Writer.h: "
             "results/ may include only fs/, scan/ and results/"),
            ("log/Shown.cpp", '#  include "app/Form1.h"\n',
             "log/Shown.cpp:1 includes app/Form1.h: "
             "log/ may include only fs/, scan/, results/ and log/"),
            ("scan/Text.cpp", "#include <QString>\n",
             "scan/Text.cpp:1 includes <QString>: "
             "the core (fs/, scan/, results/, log/) includes no Qt header"),
            ("app/Options.cpp", '#include "cli/ScanCommand.h"\n',
             "app/Options.cpp:1 includes cli/ScanCommand.h: "
             "app/ may include the core and app/, nothing of cli/"),
            ("cli/Window.cpp", "#include <app/Form1.h>\n",
             "cli/Window.cpp:1 includes <app/Form1.h>: "
             "cli/ may include the core and cli/, nothing of app/"),
            ("scan/Climb.cpp", '#include "../results/List.h"\n',
             "scan/Climb.cpp:1 includes ../results/List.h: "
             'an include is written from the project root, never with ".."'),
        ]
        for name, text, told in cases:
            with self.subTest(name=name):
                status, out = check(with_file(name, text))
                self.assertEqual(status, 1, out)
                self.assertEqual(out, told + "\n")


if __name__ == "__main__":
    unittest.main()
