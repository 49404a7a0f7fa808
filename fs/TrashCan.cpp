#include "fs/TrashCan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fs/DirReader.h"
#include "fs/FolderOpen.h"
#include "fs/FolderPlace.h"
#include "fs/FsError.h"
#include "fs/HomeFolder.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {
// Why a trash could not be used, for the message that keeps the folder where it is.
struct Refusal {
    std::string reason;
};

// The folder `name` in `parentFd`, made with mode 0700 when missing; never a link.
Fd madeFolder(int parentFd, const char* name) {
    if (mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST)
        throw Refusal{std::string("'") + name + "' cannot be made: " + std::strerror(errno)};
    OpenedFolder folder = openChildFolder(parentFd, name);
    if (folder.status == OpenStatus::Missing)
        throw Refusal{std::string("'") + name + "' is in the way: it is not a real folder"};
    if (!folder.fd) throw Refusal{std::string("'") + name + "': " + describeOpenFailure(folder)};
    return std::move(folder.fd);
}

// Opens files/ and info/ in a trash folder, making them when missing; checks that the trash
// is the user's own and on `device`.
void openInside(TrashCan& can, dev_t device, uid_t uid) {
    struct stat st;
    if (fstat(can.folder.get(), &st) != 0) throw Refusal{std::strerror(errno)};
    if (st.st_dev != device) throw Refusal{"the trash is on another file system"};
    if (st.st_uid != uid) throw Refusal{"the trash folder " + can.path + " is not yours"};
    can.files = madeFolder(can.folder.get(), "files");
    can.info = madeFolder(can.folder.get(), "info");
}

TrashCan homeTrash(const TrashPlaces& places, dev_t device) {
    TrashCan can{places.homeTrash, "", {}, {}, {}};
    std::string made;
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = can.path.find('/', slash + 1);
        made = can.path.substr(0, slash);
        if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
            throw Refusal{made + " cannot be made: " + std::strerror(errno)};
    }
    OpenedFolder folder = openFolderPath(can.path, FollowLinks::Yes);
    if (!folder.fd) throw Refusal{can.path + ": " + describeOpenFailure(folder)};
    can.folder = std::move(folder.fd);
    openInside(can, device, places.uid);
    return can;
}

// $topdir/.Trash/$uid, when $topdir/.Trash is a real folder with the sticky bit.
bool sharedTrash(TrashCan& can, int topFd, dev_t device, const TrashPlaces& places) {
    struct stat st;
    if (fstatat(topFd, ".Trash", &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
        !(st.st_mode & S_ISVTX))
        return false;
    OpenedFolder shared = openChildFolder(topFd, ".Trash");
    if (!shared.fd) return false;
    const std::string uid = std::to_string(places.uid);
    try {
        can.folder = madeFolder(shared.fd.get(), uid.c_str());
        can.path = childPath(childPath(can.topdir, ".Trash"), uid);
        openInside(can, device, places.uid);
        return true;
    } catch (const Refusal&) {
        return false;  // the user's own .Trash-$uid is next
    }
}

// The trash at the top of the folder's mount, where the trash's readers look for it; none
// for a folder in a subvolume, whose top is no mount's.
TrashCan driveTrash(int parentFd, dev_t device, const TrashPlaces& places) {
    FileSystemTop top = fileSystemTopOf(parentFd);
    struct stat st;
    if (!top.mountTop || fstat(top.fd.get(), &st) != 0 || st.st_dev != device)
        throw Refusal{
            "it is not on the home folder's file system, and the top of its own (a "
            "subvolume's top is none) cannot be found"};
    TrashCan can{"", realPathOf(top.fd.get()), {}, {}, {}};
    if (can.topdir.empty()) throw Refusal{"the path of its drive's top folder cannot be told"};
    if (sharedTrash(can, top.fd.get(), device, places)) return can;
    const std::string own = ".Trash-" + std::to_string(places.uid);
    can.path = childPath(can.topdir, own);
    can.folder = madeFolder(top.fd.get(), own.c_str());
    openInside(can, device, places.uid);
    return can;
}
}  // namespace

TrashPlaces TrashPlaces::ofThisUser() {
    TrashPlaces places;
    places.uid = geteuid();
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') {
        places.homeTrash = std::string(withoutTrailingSlashes(data)) + "/Trash";
        return places;
    }
    places.homeTrash = homeFolder() + "/.local/share/Trash";
    return places;
}

std::string TrashCan::pathInInfo(const std::string& realPath) const {
    if (topdir.empty()) return realPath;
    if (topdir == "/") return realPath.substr(1);
    return realPath.substr(topdir.size() + 1);
}

TrashCan trashFor(const FolderPlace& place, dev_t device, const TrashPlaces& places,
                  std::string& realPath) {
    try {
        const std::string parent = realPathOf(place.parent.get());
        if (parent.empty()) throw Refusal{"its absolute path cannot be told"};
        realPath = childPath(parent, place.name);
        if (!places.homeTrash.empty() && places.homeTrash[0] == '/' &&
            deviceOfNearest(places.homeTrash) == device)
            return homeTrash(places, device);
        TrashCan can = driveTrash(place.parent.get(), device, places);
        if (!realPath.starts_with(can.topdir == "/" ? "/" : can.topdir + "/"))
            throw Refusal{"it is not below its drive's top folder " + can.topdir};
        return can;
    } catch (const Refusal& refusal) {
        throw FsError(place.path, "no trash can be used on its drive, so it stays where it is: " +
                                      refusal.reason);
    }
}

std::shared_ptr<const std::vector<ino_t>> trashFoldersOf(int rootFd, const TrashPlaces& places) {
    auto inodes = std::make_shared<std::vector<ino_t>>();
    struct stat root, st;
    if (fstat(rootFd, &root) != 0) return inodes;
    if (!places.homeTrash.empty() && stat(places.homeTrash.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_dev == root.st_dev)
        inodes->push_back(st.st_ino);
    const FileSystemTop top = fileSystemTopOf(rootFd);
    if (!top.fd) return inodes;
    DirReader reader;
    reader.forEach(top.fd.get(), [&](const DirEntry& entry) {
        const bool trashName = entry.name == ".Trash" || entry.name.starts_with(".Trash-");
        if (entry.isFolder && trashName) inodes->push_back(entry.inode);
        return true;
    });
    return inodes;
}

}  // namespace voidbroom
