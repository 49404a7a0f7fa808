#include "fs/FolderOpen.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

#include "fs/FolderIdentity.h"

namespace voidbroom {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

OpenedFolder opened(int fd) {
    OpenedFolder result;
    if (fd >= 0) {
        result.fd.reset(fd);
        result.status = OpenStatus::Opened;
        return result;
    }
    result.error = errno;
    switch (result.error) {
        case ENOENT:
        case ENOTDIR:
        case ELOOP:  // O_NOFOLLOW met a symbolic link
            result.status = OpenStatus::Missing;
            break;
        case EXDEV:
            result.status = OpenStatus::OtherFileSystem;
            break;
        default:
            result.status = OpenStatus::Failed;
    }
    return result;
}

// Mount identity of an open folder, for kernels without openat2: the mount id where statx
// knows it (it tells bind mounts of the same device apart), else the device number.
unsigned long long mountOf(int fd) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &sx) == 0) {
        if (sx.stx_mask & STATX_MNT_ID) return sx.stx_mnt_id;
        return (static_cast<unsigned long long>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    }
    return ~0ULL;
}

int openChildWithoutOpenat2(int parentFd, const char* name) {
    int fd = openat(parentFd, name, kFolderFlags);
    if (fd < 0) return fd;
    if (mountOf(fd) != mountOf(parentFd)) {
        close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

bool g_haveOpenat2 = true;

}  // namespace

FolderIdentity identityOf(int fd) {
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO | STATX_BTIME, &sx) != 0) return {};
    FolderIdentity identity{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
    if (sx.stx_mask & STATX_BTIME) {
        identity.bornSeconds = sx.stx_btime.tv_sec;
        identity.bornNanoseconds = sx.stx_btime.tv_nsec;
    }
    return identity;
}

OpenedFolder openChildFolder(int parentFd, const char* name) {
    if (g_haveOpenat2) {
        open_how how{};
        how.flags = kFolderFlags;
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        int fd = static_cast<int>(syscall(SYS_openat2, parentFd, name, &how, sizeof how));
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return opened(fd);
        // ENOSYS: an old kernel; EPERM: a seccomp filter that forbids the call.
        g_haveOpenat2 = false;
    }
    return opened(openChildWithoutOpenat2(parentFd, name));
}

OpenedFolder openFolderPath(const std::string& path, FollowLinks follow) {
    if (path.empty()) {
        errno = ENOENT;
        return opened(-1);
    }
    if (follow == FollowLinks::Yes) {
        int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 || errno != ENAMETOOLONG) return opened(fd);
    }
    // One component at a time: no length limit, and with O_NOFOLLOW no link anywhere.
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow == FollowLinks::No ? O_NOFOLLOW : 0);
    Fd current(open(path[0] == '/' ? "/" : ".", flags));
    if (!current) return opened(-1);
    std::string component;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        component.assign(path, pos, end - pos);
        pos = end + 1;
        if (component.empty() || component == ".") continue;
        int next = openat(current.get(), component.c_str(), flags);
        if (next < 0) return opened(-1);
        current.reset(next);
    }
    OpenedFolder result;
    result.fd = std::move(current);
    result.status = OpenStatus::Opened;
    return result;
}

std::string describeOpenFailure(const OpenedFolder& result) {
    switch (result.status) {
        case OpenStatus::Opened:
            return "opened";
        case OpenStatus::Missing:
            if (result.error == ELOOP) return "it is a symbolic link, not a folder";
            if (result.error == ENOTDIR) return "it is not a folder";
            return "it does not exist";
        case OpenStatus::OtherFileSystem:
            return "it is the mount point of another file system";
        case OpenStatus::Failed:
            break;
    }
    return std::strerror(result.error);
}

}  // namespace voidbroom
