#include "log/LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "fs/FsError.h"

namespace voidbroom {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

std::string errorText(int error) {
    return std::strerror(error);
}

// Only root may give a file away; for anyone else this fails, and the replacing log is
// theirs, as any file they create is.
void keepOwner(int fd, const struct stat& old) {
    if (old.st_uid == geteuid() && old.st_gid == getegid()) return;
    [[maybe_unused]] const int given = fchown(fd, old.st_uid, old.st_gid);
}

}  // namespace

// Everything is checked before anything is created, so that a refused save leaves nothing
// behind. Once the temporary file is there, the log takes the name only by rename(), which
// replaces whatever is at the name and follows nothing: a link or file that someone puts
// there after the checks is replaced, never written through.
LogFile::LogFile(const std::string& path) : path_(path), target_(path) {
    const struct stat* old = target_.existing();
    // Replacing the file needs only the folder's permission; writing it needs its own too.
    if (old && faccessat(target_.folder(), target_.name().c_str(), W_OK,
                         AT_EACCESS | AT_SYMLINK_NOFOLLOW) != 0)
        fail(errorText(errno));
    const int refused = createTemporary();
    if (refused != 0) {
        // A file of the user's in a folder where they may create nothing: it is written where
        // it is, as a plain save would, without the safety of a replacement.
        if (!old || (refused != EACCES && refused != EPERM))
            fail("no file can be created in the folder " + target_.folderPath() + ": " +
                 errorText(refused));
        openInPlace();
    } else if (old) {
        keepOwner(fd_.get(), *old);  // first: it clears set-id bits that fchmod puts back
        if (fchmod(fd_.get(), old->st_mode & 07777) != 0) {
            const int error = errno;
            removeTemporary();
            fail(errorText(error));
        }
    }
    buffer_.reserve(kBlockSize);
}

LogFile::~LogFile() {
    if (!committed_) removeTemporary();
}

void LogFile::removeTemporary() {
    if (temporary_.empty()) return;
    fd_.reset();
    unlinkat(target_.folder(), temporary_.c_str(), 0);
    temporary_.clear();
}

// Created with O_EXCL under a fresh random name, with the mode a plain create gives (the
// umask and the folder's default ACL apply), rather than mkstemp's 0600. Returns 0, or the
// errno of a folder that refuses new files.
int LogFile::createTemporary() {
    const std::string leaf = target_.name().substr(0, 200);
    std::random_device seed;
    std::mt19937_64 random(seed() ^ (static_cast<unsigned long long>(getpid()) << 32));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate =
            "." + leaf + "." + std::to_string(random() % 1000000000) + ".tmp";
        const int fd = openat(target_.folder(), candidate.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_.reset(fd);
            temporary_ = candidate;
            return 0;
        }
        if (errno == EEXIST) continue;
        if (errno == ENOENT) fail("the folder " + target_.folderPath() + " does not exist");
        return errno;
    }
    fail("no free temporary name in the folder " + target_.folderPath());
}

// The file is checked again as opened, and only then emptied: what is written is the file
// that passed the checks, whatever was put at its name since they were first made.
void LogFile::openInPlace() {
    // O_NONBLOCK: a FIFO put at the name fails to open instead of waiting for a reader.
    const int fd = openat(target_.folder(), target_.name().c_str(),
                          O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(errorText(errno));
    fd_.reset(fd);
    struct stat st;
    if (fstat(fd, &st) != 0) fail(errorText(errno));
    target_.checkFile(st);
    if (ftruncate(fd, 0) != 0) fail(errorText(errno));
    inPlace_ = true;
}

void LogFile::write(std::string_view text) {
    if (buffer_.size() + text.size() > kBlockSize) {
        flush();
        if (text.size() >= kBlockSize) {  // a big content block goes out without a copy
            if (!writeAll(fd_.get(), text)) failWriting(errno);
            return;
        }
    }
    buffer_.append(text);
}

void LogFile::flush() {
    if (!writeAll(fd_.get(), buffer_)) failWriting(errno);
    buffer_.clear();
}

void LogFile::commit() {
    flush();
    if (fsync(fd_.get()) != 0) failWriting(errno);
    if (close(fd_.release()) != 0) failWriting(errno);
    committed_ = inPlace_;
    if (inPlace_) return;
    if (renameat(target_.folder(), temporary_.c_str(), target_.folder(), target_.name().c_str()) !=
        0)
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
