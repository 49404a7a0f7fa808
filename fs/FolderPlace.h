#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "fs/Fd.h"
#include "fs/FolderOpen.h"

namespace voidbroom {

// A folder the user named, opened once by its path as the shell would open it (links on the
// path followed): the top of a walk, and of every change to the folders found below it. Below
// it no link is ever followed, and nothing leaves its file system.
struct WalkRoot {
    Fd fd;
    std::string path;  // as given, with one final "/": every path below it starts with it

    // Opens the folder at `path`; status Missing for "" as for any missing folder.
    static OpenStatus open(const std::string& path, WalkRoot& root, int& error);
};

// Where a folder to be changed (deleted, moved to the trash) stands: the folder that holds
// it, held open, and its name there.
struct FolderPlace {
    Fd parent;
    std::string name;
    std::string path;  // as listed, without a final "/", for messages
    // Of `path`, the bytes that name the top of the walk it was found in (the FOLDER given):
    // the rules' path patterns are read from there.
    std::size_t topLength = std::string::npos;
};

// The place of the folder at `path`, a path below `root`: each folder on the way is opened
// from the one before, never through a link and never onto another file system. Throws
// FsError naming `path` when it cannot be reached, and for the root itself, which a change
// below it never touches.
FolderPlace placeBelow(const WalkRoot& root, const std::string& path);
// The place of the folder at the absolute `path`, on which no folder may be a link.
FolderPlace placeOf(const std::string& path);

// The absolute path of the folder open at `fd`, as the kernel knows it now (no link on it);
// "" when it has none (it was deleted, or lies outside this process's root).
std::string realPathOf(int fd);

// A descriptor of its own on the folder open at `fd`, which does not share the position of a
// listing read through `fd` as a duplicate would; -1 with errno when it cannot be opened.
int reopenFolder(int fd);

// The top folder of the file system that holds the folder open at `fd`, climbed to through
// "..", one descriptor at a time, while the mount and the device stay the same. `mountTop`
// says whether it is the top of the mount: false where a folder of another device stood on
// the way (the folder is inside a btrfs subvolume, and `fd` holds the subvolume's top) or
// where a folder above could not be opened.
struct FileSystemTop {
    Fd fd;
    bool mountTop = false;
};
FileSystemTop fileSystemTopOf(int fd);

// The device of the folder at the absolute `path`, or of the deepest folder on its way that
// exists; links followed. 0 when not even "/" can be opened.
dev_t deviceOfNearest(const std::string& path);

}  // namespace voidbroom
