#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "fs/Fd.h"

namespace voidbroom {

// Where the user's trashes are: the home trash, and the user id that names the drives' ones.
struct TrashPlaces {
    std::string homeTrash;  // $XDG_DATA_HOME/Trash, by default ~/.local/share/Trash
    uid_t uid = 0;

    // The places of the user running the program, from the environment.
    static TrashPlaces ofThisUser();
};

// A trash that folders of one file system can be moved into, with its files/ and info/
// folders held open.
struct TrashCan {
    std::string path;    // the trash folder itself
    std::string topdir;  // the drive's top folder for a drive's trash; "" for the home trash
    Fd folder, files, info;

    // What the info file's Path= says for `folderPath`: the path itself in the home trash,
    // the path below the drive's top folder in a drive's trash.
    std::string pathInInfo(const std::string& folderPath) const;
};

// The trash for the folder at `folderPath`, on file system `device`: the home trash when it is
// on the same file system, else the drive's own ($topdir/.Trash/$uid where $topdir/.Trash is a
// real sticky folder, else $topdir/.Trash-$uid), made when missing. Throws FsError naming
// `folderPath` and saying why when no trash on that file system can be used.
TrashCan trashFor(const std::string& folderPath, dev_t device, const TrashPlaces& places);

// The inodes of the trash folders on the file system of the scan root `rootPath`, open at
// `rootFd`: the home trash and the drive's .Trash and .Trash-* folders at its top. A scan
// counts them as content and does not enter them.
std::shared_ptr<const std::vector<ino_t>> trashFoldersOf(const std::string& rootPath, int rootFd,
                                                         const TrashPlaces& places);

}  // namespace voidbroom
