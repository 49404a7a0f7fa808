#include "fs/FileSystemObject.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "fs/DirReader.h"
#include "fs/FolderOpen.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

Fd openOrThrow(const std::string& path, FollowLinks follow) {
    OpenedFolder folder = openFolderPath(path, follow);
    if (folder.status != OpenStatus::Opened) throw FsError(path, describeOpenFailure(folder));
    return std::move(folder.fd);
}

template <class Visit>
void listOrThrow(const std::string& path, Visit&& visit) {
    Fd fd = openOrThrow(path, FollowLinks::No);
    DirReader reader;
    const int error = reader.forEach(fd.get(), [&](const DirEntry& entry) {
        visit(entry);
        return true;
    });
    if (error != 0) throw FsError(path, describeOpenFailure({Fd(), OpenStatus::Failed, error}));
}

}  // namespace

SizeAnswer Folder::Size() const {
    OpenedFolder folder = openFolderPath(path_, FollowLinks::No);
    if (folder.status != OpenStatus::Opened) return SizeAnswer::Unreadable;
    ZeroSizeProbe probe;
    return probe.sizeOfOpenFolder(folder.fd.get());
}

std::vector<File> Folder::Files() const {
    std::vector<File> files;
    listOrThrow(path_, [&](const DirEntry& entry) {
        if (!entry.isFolder) files.emplace_back(std::string(entry.name));
    });
    return files;
}

std::vector<Folder> Folder::SubFolders() const {
    std::vector<Folder> folders;
    listOrThrow(path_, [&](const DirEntry& entry) {
        if (entry.isFolder) folders.emplace_back(childPath(path_, entry.name), std::string(entry.name));
    });
    return folders;
}

Folder Drive::RootFolder() const {
    if (mountPoint_.empty()) throw FsError(mountPoint_, "no drive is chosen");
    const std::string root = rootPathOf(mountPoint_);
    Fd fd = openOrThrow(root, FollowLinks::Yes);
    struct statx sx;
    if (mustBeMounted_ && statx(fd.get(), "", AT_EMPTY_PATH, STATX_BASIC_STATS, &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) && !(sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        throw FsError(root, "the drive is not mounted any more");
    return Folder(root, std::string());
}

FileSystemObject::FileSystemObject(FileSystemOptions options) : options_(std::move(options)) {
    Drives();
}

std::vector<DriveInfo> FileSystemObject::Drives() const { return listDrives(options_.mountTable); }

bool FileSystemObject::FolderExists(const std::string& path) const {
    const std::string_view leaf = leafName(path);
    if (leaf == "/") return true;
    OpenedFolder folder = openFolderPath(parentPathOf(path), FollowLinks::No);
    if (folder.status != OpenStatus::Opened) return false;
    struct stat st;
    const std::string name(leaf);
    return fstatat(folder.fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

void FileSystemObject::DeleteFolder(const std::string& path, bool force, const DeleteCheck& check) const {
    FolderDeleter deleter;
    deleter.beforeEnter = deletionHook;
    deleter.deleteFolder(path, check, force);
}

Folder FileSystemObject::GetFolder(const std::string& path) const {
    openOrThrow(path, FollowLinks::No);
    return Folder(path, std::string(leafName(path)));
}

}  // namespace voidbroom
