#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "fs/Fd.h"
#include "fs/FolderPlace.h"

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

    // What the info file's Path= says for the folder at the absolute `realPath`: the path
    // itself in the home trash, the path below the drive's top folder in a drive's trash.
    std::string pathInInfo(const std::string& realPath) const;
};

// The trash for the folder at `place`, on file system `device`: the home trash when it is on
// the same file system, else the one at the top of the folder's mount ($topdir/.Trash/$uid
// where $topdir/.Trash is a real sticky folder, else $topdir/.Trash-$uid), made when missing;
// no other, since the trash's readers look nowhere else. Sets `realPath` to the folder's
// absolute path. Throws FsError naming the folder and saying why when no trash can be used.
TrashCan trashFor(const FolderPlace& place, dev_t device, const TrashPlaces& places,
                  std::string& realPath);

// The inodes of the trash folders on the file system of the walk's root, open at `rootFd`:
// the home trash and the .Trash and .Trash-* folders at the file system's top. A scan counts
// them as content and does not enter them.
std::shared_ptr<const std::vector<ino_t>> trashFoldersOf(int rootFd, const TrashPlaces& places);

}  // namespace voidbroom
