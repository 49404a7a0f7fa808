#include "fs/DirReader.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

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

int DirReader::resolveUnknown(int fd, DirEntry& entry) {
    struct stat st;
    if (fstatat(fd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    entry.isFolder = S_ISDIR(st.st_mode);
    return 0;
}

FileLength DirReader::lengthOf(int fd, const char* name) {
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FileLength::Unreadable;
    return st.st_size == 0 ? FileLength::Zero : FileLength::NotZero;
}

}  // namespace voidbroom
