#include "log/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;
constexpr int kMaxLinkHops = 40;  // as the kernel allows

std::string errorText(int error) {
    return std::strerror(error);
}

std::string readLink(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// Only root may give a file away; for anyone else this fails, and the replacing log is
// theirs, as any file they create is.
void keepOwner(int fd, const struct stat& old) {
    if (old.st_uid == geteuid() && old.st_gid == getegid()) return;
    [[maybe_unused]] const int given = fchown(fd, old.st_uid, old.st_gid);
}

}  // namespace

LogFile::LogFile(const std::string& path) : path_(path), target_(path) {
    if (path.empty()) fail("no path is given");
    if (path.back() == '/') fail("a path that ends in \"/\" names a folder, not a file");
    struct stat st;
    for (int hops = 0; lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode); ++hops) {
        if (hops == kMaxLinkHops) fail(errorText(ELOOP));
        const std::string link = readLink(target_);
        if (link.empty()) fail(errorText(errno));
        target_ = link.front() == '/' ? link : childPath(parentPathOf(target_), link);
    }
    const bool exists = lstat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) fail("it is a folder");
    if (exists && !S_ISREG(st.st_mode)) fail("it is not a regular file");
    // Replacing the file needs only the folder's permission; writing it needs its own too.
    if (exists && faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
        fail(errorText(errno));
    const int refused = createTemporary();
    if (refused != 0) {
        // A file of the user's in a folder where they may create nothing: it is written where
        // it is, as a plain save would, without the safety of a replacement.
        if (!exists || (refused != EACCES && refused != EPERM))
            fail("no file can be created in the folder " + parentPathOf(target_) + ": " +
                 errorText(refused));
        openInPlace();
    } else if (exists) {
        keepOwner(fd_.get(), st);  // first: it clears set-id bits that fchmod puts back
        if (fchmod(fd_.get(), st.st_mode & 07777) != 0) fail(errorText(errno));
    }
    buffer_.reserve(kBlockSize);
}

LogFile::~LogFile() {
    if (committed_ || temporary_.empty()) return;
    fd_.reset();
    unlink(temporary_.c_str());
}

// Created with O_EXCL under a fresh random name, with the mode a plain create gives (the
// umask and the folder's default ACL apply), rather than mkstemp's 0600. Returns 0, or the
// errno of a folder that refuses new files.
int LogFile::createTemporary() {
    const std::string folder = parentPathOf(target_);
    const std::string leaf(leafName(target_).substr(0, 200));
    std::random_device seed;
    std::mt19937_64 random(seed() ^ (static_cast<unsigned long long>(getpid()) << 32));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            childPath(folder, "." + leaf + "." + std::to_string(random() % 1000000000) + ".tmp");
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_.reset(fd);
            temporary_ = candidate;
            return 0;
        }
        if (errno == EEXIST) continue;
        if (errno == ENOENT) fail("the folder " + folder + " does not exist");
        return errno;
    }
    fail("no free temporary name in the folder " + folder);
}

void LogFile::openInPlace() {
    const int fd = open(target_.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) fail(errorText(errno));
    fd_.reset(fd);
    inPlace_ = true;
}

void LogFile::write(std::string_view text) {
    if (buffer_.size() + text.size() > kBlockSize) {
        flush();
        if (text.size() >= kBlockSize) {  // a big content block goes out without a copy
            writeAll(text);
            return;
        }
    }
    buffer_.append(text);
}

void LogFile::flush() {
    writeAll(buffer_);
    buffer_.clear();
}

void LogFile::writeAll(std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd_.get(), data.data(), data.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) failWriting(written < 0 ? errno : ENOSPC);
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

void LogFile::commit() {
    flush();
    if (fsync(fd_.get()) != 0) failWriting(errno);
    if (close(fd_.release()) != 0) failWriting(errno);
    committed_ = inPlace_;
    if (inPlace_) return;
    if (rename(temporary_.c_str(), target_.c_str()) != 0)
        fail("it could not be put in place: " + errorText(errno));
    committed_ = true;
}

void LogFile::fail(const std::string& reason) const {
    throw FsError(path_, reason);
}

void LogFile::failWriting(int error) const {
    std::string reason = "it could not be written: " + errorText(error);
    if (inPlace_)
        reason += " (it was being written in place, so it now holds only part of the log)";
    fail(reason);
}

}  // namespace voidbroom
