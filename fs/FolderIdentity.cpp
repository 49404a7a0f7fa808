#include "fs/FolderIdentity.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace voidbroom {

FolderIdentity identityOf(int fd) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO | STATX_BTIME, &sx) != 0)
        return {};
    FolderIdentity identity{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
    if (sx.stx_mask & STATX_BTIME) {
        identity.bornSeconds = sx.stx_btime.tv_sec;
        identity.bornNanoseconds = sx.stx_btime.tv_nsec;
    }
    return identity;
}

bool isSameFolder(int fd, const FolderIdentity& identity) {
    const FolderIdentity now = identityOf(fd);
    if (now == identity) return true;
    if (now.device != identity.device || now.inode != identity.inode) return false;
    struct statfs fs {};
    return fstatfs(fd, &fs) == 0 && static_cast<unsigned long>(fs.f_type) == OVERLAYFS_SUPER_MAGIC;
}

}  // namespace voidbroom
