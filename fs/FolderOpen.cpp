#include "fs/FolderOpen.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

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

int openChildWithoutOpenat2(int parentFd, const char* name, int flags) {
    int fd = openat(parentFd, name, flags);
    if (fd < 0) return fd;
    if (mountOf(fd) != mountOf(parentFd)) {
        close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

// Set once, from any reading thread, when the kernel turns out to lack openat2.
std::atomic<bool> g_haveOpenat2{true};

// Opens a child folder with `flags`: never through a link, never into another file system.
int openChild(int parentFd, const char* name, int flags) {
    if (g_haveOpenat2) {
        open_how how{};
        how.flags = static_cast<unsigned>(flags);
        how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        int fd = static_cast<int>(syscall(SYS_openat2, parentFd, name, &how, sizeof how));
        if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) return fd;
        // ENOSYS: an old kernel; EPERM: a seccomp filter that forbids the call.
        g_haveOpenat2 = false;
    }
    return openChildWithoutOpenat2(parentFd, name, flags);
}

constexpr mode_t kOwnerRights = S_IRUSR | S_IWUSR | S_IXUSR;

constexpr unsigned long kNtfsMagic = 0x5346544e;  // ntfs3 and the old ntfs driver

// A folder of another device than `device` is closed, and stands for another file system.
int keptOnDevice(int fd, dev_t device) {
    struct stat st;
    if (fd < 0 || device == 0 || (fstat(fd, &st) == 0 && st.st_dev == device)) return fd;
    close(fd);
    errno = EXDEV;
    return -1;
}

}  // namespace

OpenedFolder openChildFolder(int parentFd, const char* name, dev_t device) {
    return opened(keptOnDevice(openChild(parentFd, name, kFolderFlags), device));
}

// A file system that can hold subvolumes gives each its own device number without a mount;
// the known ones are asked about each folder, as is any file system not known to be free of
// them.
dev_t boundaryDeviceOf(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) return 0;
    return boundaryDeviceOf(fd, static_cast<unsigned long>(fs.f_type));
}

dev_t boundaryDeviceOf(int fd, unsigned long fsType) {
    struct stat st;
    if (fstat(fd, &st) != 0) return 0;
    switch (fsType) {
        case EXT4_SUPER_MAGIC:  // ext2 and ext3 share it
        case TMPFS_MAGIC:
        case XFS_SUPER_MAGIC:
        case RAMFS_MAGIC:
        case MSDOS_SUPER_MAGIC:
        case EXFAT_SUPER_MAGIC:
        case kNtfsMagic:
        case F2FS_SUPER_MAGIC:
        case OVERLAYFS_SUPER_MAGIC:  // its folders all show the overlay's device
        case FUSE_SUPER_MAGIC:       // the kernel gives every node the connection's device
        case NFS_SUPER_MAGIC:        // another export below is a mount of its own
        case SMB2_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SQUASHFS_MAGIC:
        case ISOFS_SUPER_MAGIC:
        case EROFS_SUPER_MAGIC_V1:
            return 0;
        default:
            return st.st_dev;
    }
}

bool grantOwnerRights(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0) return false;
    if ((st.st_mode & kOwnerRights) == kOwnerRights) return true;
    return fchmod(fd, (st.st_mode & 07777) | kOwnerRights) == 0;
}

// A folder its owner may not read cannot be opened for fchmod; an O_PATH descriptor needs no
// right on it, and the kernel changes the mode of what that descriptor names.
bool grantOwnerRights(int parentFd, const char* name, dev_t device) {
    Fd fd(keptOnDevice(openChild(parentFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC),
                       device));
    struct stat st;
    if (!fd || fstat(fd.get(), &st) != 0) return false;
    if ((st.st_mode & kOwnerRights) == kOwnerRights) return true;
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    return chmod(self.c_str(), (st.st_mode & 07777) | kOwnerRights) == 0;
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
    const int flags =
        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow == FollowLinks::No ? O_NOFOLLOW : 0);
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

std::string describeOpenFailure(const OpenOutcome& result) {
    switch (result.status) {
        case OpenStatus::Opened:
            return "opened";
        case OpenStatus::Missing:
            if (result.error == ELOOP) return "it is a symbolic link, not a folder";
            if (result.error == ENOTDIR) return "it is not a folder";
            return "it does not exist";
        case OpenStatus::OtherFileSystem:
            return "it is on another file system (a mount point or a subvolume)";
        case OpenStatus::Failed:
            break;
    }
    return std::strerror(result.error);
}

}  // namespace voidbroom
