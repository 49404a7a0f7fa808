#include "fs/FileSystemObject.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "fs/FolderOpen.h"
#include "fs/Paths.h"

namespace voidbroom {

Folder Drive::RootFolder() const {
    if (mountPoint_.empty()) throw FsError(mountPoint_, "no drive is chosen");
    const std::string root = rootPathOf(mountPoint_);
    OpenedFolder folder = openFolderPath(root, FollowLinks::Yes);
    if (folder.status != OpenStatus::Opened) throw FsError(root, describeOpenFailure(folder));
    struct statx sx;
    if (mustBeMounted_ && statx(folder.fd.get(), "", AT_EMPTY_PATH, STATX_BASIC_STATS, &sx) == 0 &&
        (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) &&
        !(sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        throw FsError(root, "the drive is not mounted any more");
    return Folder(root);
}

FileSystemObject::FileSystemObject(FileSystemOptions options) : options_(std::move(options)) {
    Drives();
}

std::vector<DriveInfo> FileSystemObject::Drives() const {
    return listDrives(options_.mountTable);
}

void FileSystemObject::DeleteFolder(const std::string& path, bool force,
                                    const DeleteCheck& check) const {
    FolderDeleter deleter;
    deleter.beforeEnter = deletionHook;
    deleter.deleteFolder(path, check, force);
}

}  // namespace voidbroom
