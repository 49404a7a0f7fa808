#include "fs/DirReader.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <limits>

namespace voidbroom {
namespace {
// Large enough that most folders are read in one call plus the call that reports the end.
constexpr std::size_t kBufferSize = 64 * 1024;
}  // namespace

DirReader::DirReader() : buffer_(new char[kBufferSize]) {}
DirReader::~DirReader() = default;

long DirReader::readBatch(int fd) {
    ++reads_;
    const ssize_t bytes = getdents64(fd, buffer_.get(), kBufferSize);
    return bytes < 0 ? -static_cast<long>(errno) : static_cast<long>(bytes);
}

std::int64_t listingEndMarkOf(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) return kNoEndMark;
    return listingEndMarkOfType(static_cast<unsigned long>(fs.f_type));
}

std::int64_t listingEndMarkOfType(unsigned long fsType) {
    // The ext family's end of a hashed listing, which is every listing of a folder of one
    // block or with an index; a linear listing ends elsewhere and is read to the empty batch.
    if (fsType == EXT4_SUPER_MAGIC) return std::numeric_limits<std::int64_t>::max();
    return kNoEndMark;
}

int DirReader::resolveUnknown(int fd, DirEntry& entry) {
    struct stat st;
    if (fstatat(fd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    entry.isFolder = S_ISDIR(st.st_mode);
    return 0;
}

FileLength DirReader::lengthOf(int fd, const char* name, bool fromLookup) {
    if (fromLookup) {
        struct statx sx;
        if (statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_STATX_DONT_SYNC, STATX_SIZE, &sx) != 0)
            return FileLength::Unreadable;
        if (sx.stx_mask & STATX_SIZE)
            return sx.stx_size == 0 ? FileLength::Zero : FileLength::NotZero;
    }
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FileLength::Unreadable;
    return st.st_size == 0 ? FileLength::Zero : FileLength::NotZero;
}

}  // namespace voidbroom
