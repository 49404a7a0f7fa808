"""The tree maker's plan: the folders and files of a tree, decided in memory before any
of it is written, and the counts printed for it.

Names are bytes, since a tree may hold names that are not UTF-8. A folder keeps its
subfolders and its files in the order they are made.
"""

REGULAR = 0
SYMLINK = 1
FIFO = 2

ONE_BYTE = b"x"


class Folder:
    """One folder of the plan. Files are (name, kind, data) triples: for a regular file
    data is its content, for a symbolic link its target, for a FIFO nothing."""

    __slots__ = ("name", "subs", "files", "taken")

    def __init__(self, name):
        self.name = name
        self.subs = []
        self.files = []
        self.taken = set()

    def free_name(self, wanted):
        """`wanted`, or, when the folder already holds that name, the first of wanted-2,
        wanted-3, ... that it does not (before the extension, for a file name)."""
        if wanted not in self.taken:
            self.taken.add(wanted)
            return wanted
        stem, dot, ext = wanted.rpartition(b".")
        if not stem:
            stem, dot, ext = wanted, b"", b""
        n = 2
        while True:
            name = b"%s-%d%s%s" % (stem, n, dot, ext)
            if name not in self.taken:
                self.taken.add(name)
                return name
            n += 1

    def add_sub(self, name):
        sub = Folder(self.free_name(name))
        self.subs.append(sub)
        return sub

    def adopt(self, sub):
        """Hangs a folder planned on its own under this one, renaming it if need be."""
        sub.name = self.free_name(sub.name)
        self.subs.append(sub)
        return sub

    def add_file(self, name, data=b""):
        name = self.free_name(name)
        self.files.append((name, REGULAR, data))
        return name

    def add_link(self, name, target):
        name = self.free_name(name)
        self.files.append((name, SYMLINK, target))
        return name

    def add_fifo(self, name):
        name = self.free_name(name)
        self.files.append((name, FIFO, b""))
        return name

    def is_empty(self):
        return not self.subs and not self.files


def folders_of(top):
    """Every folder from `top` down, parents before children, `top` first."""
    found = [top]
    i = 0
    while i < len(found):
        found.extend(found[i].subs)
        i += 1
    return found


def count_folders(top):
    return len(folders_of(top))


def count_files(top):
    return sum(len(f.files) for f in folders_of(top))


def count_empty(top):
    return sum(1 for f in folders_of(top) if f.is_empty())


def summarize(root, dest):
    """The counts printed for a plan rooted at the absolute path `dest` (bytes): dirs
    counts the root too; zero_length counts the files of size 0, empty regular files and
    FIFOs; max_path_bytes is the longest absolute folder path."""
    counts = dict.fromkeys(("dirs", "files", "regular", "zero_length", "symlinks",
                            "fifos", "strictly_empty_dirs", "max_depth"), 0)
    longest = 0
    stack = [(root, 0, len(dest))]
    while stack:
        folder, depth, length = stack.pop()
        counts["dirs"] += 1
        counts["max_depth"] = max(counts["max_depth"], depth)
        longest = max(longest, length)
        if folder.is_empty():
            counts["strictly_empty_dirs"] += 1
        add_file_counts(counts, folder.files)
        for sub in folder.subs:
            stack.append((sub, depth + 1, length + 1 + len(sub.name)))
    counts["files"] = counts["regular"] + counts["symlinks"] + counts["fifos"]
    counts["max_path_bytes"] = longest
    return counts


def add_file_counts(counts, files):
    for _, kind, data in files:
        if kind == REGULAR:
            counts["regular"] += 1
            if not data:
                counts["zero_length"] += 1
        elif kind == SYMLINK:
            counts["symlinks"] += 1
        else:
            counts["fifos"] += 1
            counts["zero_length"] += 1


def summary_line(shape, seed, dest, counts):
    keys = ("dirs", "files", "regular", "zero_length", "symlinks", "fifos",
            "strictly_empty_dirs", "max_depth", "max_path_bytes")
    figures = " ".join("%s=%d" % (key, counts[key]) for key in keys)
    return "%s seed=%d dest=%s %s" % (shape, seed, dest, figures)
