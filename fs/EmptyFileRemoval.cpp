#include "fs/EmptyFileRemoval.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fs/Fd.h"
#include "fs/FileTime.h"

namespace voidbroom {
namespace {

EmptyFileOutcome failed(int error) {
    return {EmptyFileVerdict::Failed, error, {}};
}

// Moves `from` to `to` in one folder without replacing anything. A file system that cannot
// refuse to replace gets a plain rename, but only while nothing is at `to`.
int renameNoReplace(int fd, const char* from, const char* to) {
    if (renameat2(fd, from, fd, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL) return errno;
    struct stat st;
    if (fstatat(fd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return renameat(fd, from, fd, to) == 0 ? 0 : errno;
}

// Whether the file put aside may go; `held` keeps it open, under a lease where one is granted.
EmptyFileOutcome checkAside(int folderFd, const char* aside, Fd& held, std::int64_t recentFrom) {
    struct stat st;
    if (fstatat(folderFd, aside, &st, AT_SYMLINK_NOFOLLOW) != 0) return failed(errno);
    if (modifiedAt(st) >= recentFrom) return {EmptyFileVerdict::Recent, 0, {}};
    if (!S_ISREG(st.st_mode)) return {};
    if (st.st_size > 0) return {EmptyFileVerdict::HoldsData, 0, {}};
    held.reset(openat(folderFd, aside, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    // A file the user may not read (mode 000) cannot be leased: it is judged by its length.
    if (!held) return errno == EACCES || errno == EPERM ? EmptyFileOutcome{} : failed(errno);
    // EAGAIN: another descriptor is open on it. Where leases cannot be had at all (another
    // user's file without CAP_LEASE, a file system without leases) it is judged by its length.
    if (fcntl(held.get(), F_SETLEASE, F_WRLCK) != 0 && (errno == EAGAIN || errno == EBUSY))
        return {EmptyFileVerdict::InUse, 0, {}};
    struct stat now;
    if (fstat(held.get(), &now) != 0) return failed(errno);
    if (now.st_ino != st.st_ino || now.st_dev != st.st_dev || !S_ISREG(now.st_mode))
        return failed(ESTALE);
    if (now.st_size > 0) return {EmptyFileVerdict::HoldsData, 0, {}};
    return {};
}

}  // namespace

EmptyFileOutcome removeEmptyFile(int folderFd, const char* name, const std::string& asideName,
                                 std::int64_t recentFrom) {
    const int moved = renameNoReplace(folderFd, name, asideName.c_str());
    if (moved == ENOENT) return {};
    if (moved != 0) return failed(moved);
    Fd held;
    EmptyFileOutcome outcome = checkAside(folderFd, asideName.c_str(), held, recentFrom);
    if (outcome.verdict == EmptyFileVerdict::Removed) {
        if (unlinkat(folderFd, asideName.c_str(), 0) == 0 || errno == ENOENT) return outcome;
        outcome = failed(errno);
    }
    held.reset();  // lets go of the lease before a writer may need the file back
    if (renameNoReplace(folderFd, asideName.c_str(), name) != 0) outcome.keptAs = asideName;
    return outcome;
}

std::string describe(const EmptyFileOutcome& outcome) {
    std::string text;
    switch (outcome.verdict) {
        case EmptyFileVerdict::Removed:
            return "removed";
        case EmptyFileVerdict::HoldsData:
            text = "holds data written after the scan";
            break;
        case EmptyFileVerdict::InUse:
            text = "in use by another program";
            break;
        case EmptyFileVerdict::Recent:
            text = "it was modified within the age given, so it stays";
            break;
        case EmptyFileVerdict::Failed:
            text = std::strerror(outcome.error);
            break;
    }
    if (!outcome.keptAs.empty())
        text += "; its name was taken meanwhile, so it is kept as " + outcome.keptAs;
    return text;
}

}  // namespace voidbroom
