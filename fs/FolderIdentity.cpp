#include "fs/FolderIdentity.h"

#include <fcntl.h>
#include <sys/stat.h>
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

}  // namespace voidbroom
