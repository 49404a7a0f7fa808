#!/usr/bin/env python3
"""Makes the folder trees that the benchmark and the tests scan.

    python3 bench/treemaker.py SHAPE DEST [--seed S] [--folders N] [--files M]
        [--depth D] [--long-depth L] [--entries E] [--plan-only]

SHAPE is one of
    realistic  a home folder and source checkout mix (200,000 folders, 1,000,000 files)
    deep       four chains of 2,000 folders and one of 3,000 whose path passes PATH_MAX
    wide       one folder of 200,000 entries
    zero       four subtrees of only empty files and folders, two with one 1-byte file
    edge       one small folder per listing case

DEST must not exist. The whole tree is decided in memory first, from the seed alone: the
same seed and arguments give the same names, sizes and order of creation on any machine.
Files that are not empty hold 1 byte. One line of counts is printed:

    SHAPE seed=S dest=DEST dirs=N files=M regular=R zero_length=Z symlinks=L fifos=F
    strictly_empty_dirs=K max_depth=X max_path_bytes=P

dirs counts DEST too; files = regular + symlinks + fifos; zero_length counts the files of
size 0 (empty regular files and FIFOs); strictly_empty_dirs the folders with no entry at
all; max_depth is in folders below DEST; max_path_bytes is the longest absolute folder
path. With --plan-only nothing is written.
"""

import argparse
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import treeplan  # noqa: E402
import treerealistic  # noqa: E402
import treeshapes  # noqa: E402
import treewriter  # noqa: E402

SHAPES = ("realistic", "deep", "wide", "zero", "edge")

DEFAULT_SIZES = {"realistic": (200_000, 1_000_000), "zero": (50_000, 250_000)}


def parse(argv):
    parser = argparse.ArgumentParser(
        prog="treemaker.py", description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog="\n\n".join(__doc__.split("\n\n")[1:]))
    parser.add_argument("shape", choices=SHAPES)
    parser.add_argument("dest")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--folders", type=int,
                        help="folders, DEST included (realistic: 200000; zero: 50000)")
    parser.add_argument("--files", type=int, help="files (realistic: 1000000; zero: 250000)")
    parser.add_argument("--depth", type=int, default=2000, help="deep: the four chains' depth")
    parser.add_argument("--long-depth", type=int, default=3000,
                        help="deep: the depth of the chain past PATH_MAX")
    parser.add_argument("--entries", type=int, default=200_000,
                        help="wide: entries in the wide folder")
    parser.add_argument("--plan-only", action="store_true",
                        help="decide the tree and print its counts, write nothing")
    args = parser.parse_args(argv)
    folders, files = DEFAULT_SIZES.get(args.shape, (0, 0))
    args.folders = folders if args.folders is None else args.folders
    args.files = files if args.files is None else args.files
    problem = check(args)
    if problem:
        parser.error(problem)
    return args


def check(args):
    """What is wrong with the arguments, or None."""
    if args.shape == "realistic" and (args.folders < 100 or args.files < 0):
        return "realistic needs --folders 100 or more and --files 0 or more"
    if args.shape == "zero" and (args.folders < 8 or args.files < 0):
        return "zero needs --folders 8 or more and --files 0 or more"
    if args.shape == "deep" and (args.depth < 1 or args.long_depth < 1):
        return "deep needs --depth and --long-depth of 1 or more"
    if args.shape == "wide" and args.entries < 1:
        return "wide needs --entries 1 or more"
    return None


def plan(args):
    rng = random.Random(args.seed)
    if args.shape == "realistic":
        return treerealistic.plan_realistic(rng, args.folders, args.files)
    if args.shape == "zero":
        return treeshapes.plan_zero(rng, args.folders, args.files)
    if args.shape == "deep":
        return treeshapes.plan_deep(args.depth, args.long_depth)
    if args.shape == "wide":
        return treeshapes.plan_wide(args.entries)
    return treeshapes.plan_edge()


def main(argv):
    args = parse(argv)
    dest = os.path.abspath(args.dest)
    if os.path.lexists(dest):
        print("treemaker: %s already exists; it is left as it is" % dest, file=sys.stderr)
        return 2
    root = plan(args)
    counts = treeplan.summarize(root, os.fsencode(dest))
    if not args.plan_only:
        try:
            treewriter.write_tree(root, os.fsencode(dest))
        except FileExistsError as error:
            if error.filename != os.fsencode(dest):
                raise
            print("treemaker: %s already exists; it is left as it is" % dest, file=sys.stderr)
            return 2
        except OSError as error:
            print("treemaker: cannot make the tree at %s: %s" % (dest, error), file=sys.stderr)
            return 1
    print(treeplan.summary_line(args.shape, args.seed, dest, counts))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
