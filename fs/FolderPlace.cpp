#include "fs/FolderPlace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

constexpr const char* kGone =
    "it no longer exists (or a folder on its path was replaced by a link)";

void refuseSpecialNames(const std::string& path, std::string_view name) {
    if (name.empty() || name == "/" || name == "." || name == "..")
        throw FsError(path, "this folder cannot be changed");
}

[[noreturn]] void failToReach(const std::string& path, const OpenedFolder& folder) {
    switch (folder.status) {
        case OpenStatus::Missing:
            throw FsError(path, kGone);
        case OpenStatus::OtherFileSystem:
            throw FsError(path, "a folder on its path is now on another file system");
        default:
            throw FsError(
                path, "the folder that holds it cannot be opened: " + describeOpenFailure(folder));
    }
}

struct Where {
    unsigned long long mount = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

bool whereIs(int fd, Where& where) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO | STATX_MNT_ID, &sx) != 0)
        return false;
    where.mount = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
    where.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    where.inode = sx.stx_ino;
    return true;
}

}  // namespace

OpenStatus WalkRoot::open(const std::string& path, WalkRoot& root, int& error) {
    OpenedFolder folder = openFolderPath(path, FollowLinks::Yes);
    error = folder.error;
    if (folder.status != OpenStatus::Opened) return folder.status;
    root.fd = std::move(folder.fd);
    root.path = rootPathOf(path);
    return OpenStatus::Opened;
}

FolderPlace placeBelow(const WalkRoot& root, const std::string& path) {
    const std::string trimmed(withoutTrailingSlashes(path));
    if (trimmed + "/" == root.path || trimmed == root.path)
        throw FsError(trimmed, "it is the folder given, which is never removed itself");
    if (!path.starts_with(root.path)) throw FsError(trimmed, "it is not below the folder given");
    const std::string_view relative = std::string_view(trimmed).substr(root.path.size());
    const dev_t device = boundaryDeviceOf(root.fd.get());
    Fd held;
    int at = root.fd.get();
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string_view::npos;
         start = slash + 1) {
        const std::string name(relative.substr(start, slash - start));
        refuseSpecialNames(trimmed, name);
        OpenedFolder next = openChildFolder(at, name.c_str(), device);
        if (next.status != OpenStatus::Opened) failToReach(trimmed, next);
        held = std::move(next.fd);
        at = held.get();
    }
    FolderPlace place{{}, std::string(relative.substr(start)), trimmed, root.path.size()};
    refuseSpecialNames(trimmed, place.name);
    place.parent.reset(held ? held.release() : reopenFolder(at));
    if (!place.parent) throw FsError(trimmed, "the folder that holds it cannot be opened");
    return place;
}

FolderPlace placeOf(const std::string& path) {
    const std::string trimmed(withoutTrailingSlashes(path));
    FolderPlace place{{}, std::string(leafName(trimmed)), trimmed};
    refuseSpecialNames(trimmed, place.name);
    OpenedFolder parent = openFolderPath(parentPathOf(trimmed), FollowLinks::No);
    if (parent.status != OpenStatus::Opened) failToReach(trimmed, parent);
    place.parent = std::move(parent.fd);
    return place;
}

std::string realPathOf(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::string path(256, '\0');
    for (;;) {
        const ssize_t length = readlink(self.c_str(), path.data(), path.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < path.size()) {
            path.resize(static_cast<std::size_t>(length));
            break;
        }
        path.resize(path.size() * 2);
    }
    // The kernel marks a deleted folder, or one outside this process's root, in the text; a
    // path that names the very folder is the proof that it is none of these.
    struct stat byPath, byFd;
    if (path.empty() || path[0] != '/' || stat(path.c_str(), &byPath) != 0 ||
        fstat(fd, &byFd) != 0 || byPath.st_dev != byFd.st_dev || byPath.st_ino != byFd.st_ino)
        return {};
    return path;
}

FileSystemTop fileSystemTopOf(int fd) {
    FileSystemTop top{Fd(reopenFolder(fd)), false};
    Where here;
    if (!top.fd || !whereIs(top.fd.get(), here)) return top;
    for (;;) {
        Fd up(openat(top.fd.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        Where above;
        if (!up || !whereIs(up.get(), above)) return top;  // the top is not known
        if (above.mount != here.mount || (above.device == here.device && above.inode == here.inode))
            break;  // another mount above, or this process's "/"
        // Without mount ids, another device can be another mount as well as a subvolume.
        if (above.device != here.device) {
            top.mountTop = here.mount == 0;
            return top;
        }
        top.fd = std::move(up);
        here = above;
    }
    top.mountTop = true;
    return top;
}

int reopenFolder(int fd) {
    return openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

dev_t deviceOfNearest(const std::string& path) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    Fd current(::open("/", kFlags));
    if (!current) return 0;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        Fd next(openat(current.get(), name.c_str(), kFlags));
        if (!next) break;
        current = std::move(next);
    }
    struct stat st;
    return fstat(current.get(), &st) == 0 ? st.st_dev : 0;
}

}  // namespace voidbroom
