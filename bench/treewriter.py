"""Writes a planned tree to disk.

Every call is relative to an open folder descriptor (mkdirat, openat, symlinkat,
mknodat), and the folders being filled are kept on an explicit stack, so a tree may be
far deeper than PATH_MAX and than Python's recursion limit. Only the deepest few folders
on the stack keep their descriptor (a share of the open-file limit, at most MOST_HELD);
one whose descriptor was given up is opened again through ".." from its child on the way
back up. So a chain of any depth is made within any descriptor limit.
"""

import os
import resource
import stat

from treeplan import FIFO, REGULAR

MOST_HELD = 256

FOLDER_FLAGS = os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC
FILE_FLAGS = os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC


def write_files(fd, files):
    """Makes the files of one folder, in their planned order."""
    for name, kind, data in files:
        if kind == REGULAR:
            if data:
                f = os.open(name, FILE_FLAGS, 0o644, dir_fd=fd)
                try:
                    os.write(f, data)
                finally:
                    os.close(f)
            else:
                os.mknod(name, stat.S_IFREG | 0o644, dir_fd=fd)
        elif kind == FIFO:
            os.mkfifo(name, 0o644, dir_fd=fd)
        else:
            os.symlink(data, name, dir_fd=fd)


def make_folder(parent_fd, name):
    os.mkdir(name, 0o755, dir_fd=parent_fd)
    return os.open(name, FOLDER_FLAGS, dir_fd=parent_fd)


def write_tree(root, dest):
    """Makes folder `dest`, which must not exist, and everything `root` plans below it:
    each folder's files first, then its subfolders one by one, depth first."""
    held = descriptors_to_hold()
    os.mkdir(dest, 0o755)
    fd = os.open(dest, FOLDER_FLAGS)
    # Each entry is [folder, its descriptor or None, the next subfolder to make].
    stack = [[root, fd, 0]]
    try:
        write_files(fd, root.files)
        while stack:
            step(stack, held)
    finally:
        for entry in stack:
            if entry[1] is not None:
                os.close(entry[1])


def descriptors_to_hold():
    """A quarter of the open-file limit, at most MOST_HELD and at least 2."""
    soft, _ = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft == resource.RLIM_INFINITY:
        return MOST_HELD
    return max(2, min(MOST_HELD, soft // 4))


def step(stack, held):
    """Makes the next subfolder of the folder on top of the stack, or, when it has no more,
    takes it off."""
    top = stack[-1]
    folder, fd, next_sub = top
    if next_sub < len(folder.subs):
        top[2] += 1
        sub = folder.subs[next_sub]
        child = make_folder(fd, sub.name)
        stack.append([sub, child, 0])
        write_files(child, sub.files)
        if len(stack) > held:
            give_up(stack[len(stack) - held - 1])
        return
    stack.pop()
    if stack and stack[-1][1] is None:
        stack[-1][1] = os.open(b"..", FOLDER_FLAGS, dir_fd=fd)
    os.close(fd)


def give_up(entry):
    if entry[1] is not None:
        os.close(entry[1])
        entry[1] = None
