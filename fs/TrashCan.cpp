#include "fs/TrashCan.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fs/DirReader.h"
#include "fs/FolderOpen.h"
#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {
// Why a trash could not be used, for the message that keeps the folder where it is.
struct Refusal {
    std::string reason;
};

std::string trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The device of `path`, or of the nearest folder above it that exists.
dev_t deviceOfNearest(std::string path) {
    struct stat st;
    while (stat(path.c_str(), &st) != 0 && path != "/") path = parentPathOf(path);
    return st.st_dev;
}

// The highest folder on the path of `folderPath` that is still on `device`: the top folder
// of the drive, as the path names it.
std::string topFolderOf(const std::string& folderPath, dev_t device) {
    std::string top = trimmed(folderPath);
    struct stat st;
    while (top != "/") {
        const std::string parent = parentPathOf(top);
        if (stat(parent.c_str(), &st) != 0 || st.st_dev != device) break;
        top = parent;
    }
    return top;
}

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

TrashCan driveTrash(const std::string& folderPath, dev_t device, const TrashPlaces& places) {
    TrashCan can{"", topFolderOf(folderPath, device), {}, {}, {}};
    OpenedFolder top = openFolderPath(can.topdir, FollowLinks::Yes);
    if (!top.fd)
        throw Refusal{"its drive's top folder " + can.topdir + ": " + describeOpenFailure(top)};
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
        places.homeTrash = trimmed(data) + "/Trash";
        return places;
    }
    const char* home = std::getenv("HOME");
    std::string homeFolder = home && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
        if (const passwd* user = getpwuid(places.uid)) homeFolder = user->pw_dir;
    }
    places.homeTrash =
        (homeFolder.empty() ? std::string() : trimmed(homeFolder)) + "/.local/share/Trash";
    return places;
}

std::string TrashCan::pathInInfo(const std::string& folderPath) const {
    const std::string path = trimmed(folderPath);
    if (topdir.empty()) return path;
    if (topdir == "/") return path.substr(1);
    return path.substr(topdir.size() + 1);
}

TrashCan trashFor(const std::string& folderPath, dev_t device, const TrashPlaces& places) {
    try {
        if (!places.homeTrash.empty() && places.homeTrash[0] == '/' &&
            deviceOfNearest(places.homeTrash) == device)
            return homeTrash(places, device);
        return driveTrash(folderPath, device, places);
    } catch (const Refusal& refusal) {
        throw FsError(
            trimmed(folderPath),
            "no trash can be used on its drive, so it stays where it is: " + refusal.reason);
    }
}

std::shared_ptr<const std::vector<ino_t>> trashFoldersOf(const std::string& rootPath, int rootFd,
                                                         const TrashPlaces& places) {
    auto inodes = std::make_shared<std::vector<ino_t>>();
    struct stat root, st;
    if (fstat(rootFd, &root) != 0) return inodes;
    if (!places.homeTrash.empty() && stat(places.homeTrash.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode) && st.st_dev == root.st_dev)
        inodes->push_back(st.st_ino);
    OpenedFolder top = openFolderPath(topFolderOf(rootPath, root.st_dev), FollowLinks::Yes);
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
