#include "fs/FolderDeleter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fs/EmptyFileRemoval.h"
#include "fs/FileTime.h"
#include "fs/FsError.h"
#include "fs/Paths.h"
#include "fs/RuleCheck.h"

namespace voidbroom {
namespace {
// A folder that fills up again while it is being emptied is emptied this many times at most.
constexpr int kMaxAttempts = 3;
constexpr const char* kNotEmptyAnyMore =
    "it is not empty any more: something was put in it after the scan";
constexpr const char* kRecent = "it was modified within the age given, so it stays";
}  // namespace

FolderDeleter::FolderDeleter() : walk_(ListingOptions{.fileNames = true}) {}

void FolderDeleter::fail(const std::string& reason) const {
    throw FsError(walk_.path(), reason);
}

void FolderDeleter::deleteFolder(const FolderPlace& place, const DeleteCheck& check, bool force) {
    rule_ = check.rule;
    check_ = check;
    topLength_ = place.topLength == std::string::npos ? place.path.size() : place.topLength;
    // Under rules, the whole tree is read first: an entry to keep, or one too recent, stops
    // the deletion before anything is removed.
    if (check.hasRules() && check.rule != DeleteRule::EmptyOnly) {
        FolderWalk scout;
        const std::string why =
            whyNotRemovedWhole(scout, place.parent.get(), place.name, place.path, topLength_,
                               check.names, check.recentFrom);
        if (!why.empty()) throw FsError(place.path, "it stays: " + why);
    }
    walk_.options().grantOwnerRights = force;
    walk_.options().rules = check.names;
    walk_.options().times = check.recentFrom.has_value();
    // The folder itself is not unlocked: nothing changes before it is known to be the one listed.
    const ChangeWalk folder(walk_, place.parent.get(), place.name, place.path, topLength_);
    if (!folder.failure.empty()) fail(folder.failure);
    checkStillListed(check);
    if (check.rule == DeleteRule::EmptyOnly) {
        for (std::size_t i = 0; i < walk_.listing().fileNames.size(); ++i)
            removeFile(walk_.folderFd(), walk_.listing().fileNames.c_str(i), walk_.path());
        if (unlinkat(place.parent.get(), place.name.c_str(), AT_REMOVEDIR) == 0) return;
        fail(errno == ENOTEMPTY || errno == EEXIST ? kNotEmptyAnyMore : std::strerror(errno));
    }
    if (force) grantOwnerRights(walk_.folderFd());
    attempts_.clear();
    empty(1);
    while (!walk_.done()) {
        if (walk_.take())
            enterNext();
        else
            leave();
    }
}

void FolderDeleter::checkStillListed(const DeleteCheck& check) {
    if (check.folder == FolderIdentity{}) fail("the scan did not record which folder it was");
    if (!isSameFolder(walk_.folderFd(), check.folder))
        fail("it is not the folder that the scan listed: it was replaced since");
    if (check.rule == DeleteRule::EmptyOnly &&
        (walk_.listing().files > 0 || walk_.subfolderCount() > 0))
        fail(kNotEmptyAnyMore);
    if (check.recentFrom && walk_.listing().newest >= *check.recentFrom) fail(kRecent);
}

void FolderDeleter::empty(int attempts) {
    const FolderListing& listing = walk_.listing();
    if (!listing.readable()) fail(std::strerror(listing.error));
    // Names were read first and are removed now: removing while reading may skip entries.
    for (std::size_t i = 0; i < listing.fileNames.size(); ++i)
        removeFile(walk_.folderFd(), listing.fileNames.c_str(i), walk_.path());
    attempts_.push_back(attempts);
    walk_.descend();
}

void FolderDeleter::enterNext() {
    const int fd = walk_.levelFd();
    if (fd < 0) fail("the folder that holds it was moved away during the deletion");
    if (beforeEnter) beforeEnter(walk_.path());
    const OpenOutcome child = walk_.enter();
    switch (child.status) {
        case OpenStatus::Opened:
            empty(1);
            return;
        case OpenStatus::Missing:
            // Gone, or no longer a folder: whatever took its place is removed as it is, and a
            // link is never followed.
            if (child.error != ENOENT)
                removeFile(fd, std::string(walk_.takenName()).c_str(), parentPathOf(walk_.path()));
            return;
        case OpenStatus::OtherFileSystem:
            fail("it is on another file system (a mount point or a subvolume), left alone");
        case OpenStatus::Failed:
            break;
    }
    fail(describeOpenFailure(child));
}

// Every folder below has been removed: the folder itself goes, unless something was put
// in it meanwhile, in which case it is emptied again.
void FolderDeleter::leave() {
    const int attempts = attempts_.back();
    attempts_.pop_back();
    walk_.leave();
    const std::string name(walk_.takenName());
    const int parent = walk_.levelFd();
    if (parent < 0) fail("the folder that holds it was moved away during the deletion");
    if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0) return;
    if (errno != ENOTEMPTY && errno != EEXIST) fail(std::strerror(errno));
    if (attempts >= kMaxAttempts) fail("new content keeps appearing in it");
    const OpenOutcome again = walk_.enterAgain();
    if (!again.opened()) fail(describeOpenFailure(again));
    empty(attempts + 1);
}

void FolderDeleter::removeFile(int fd, const char* name, const std::string& folder) {
    const NameRole role = check_.names
                              ? check_.names->roleOf(name, false, belowTop(folder, topLength_))
                              : NameRole::Plain;
    if (role == NameRole::Kept)
        throw FsError(childPath(folder, name), "it is to be kept, so its folder stays");
    if (role == NameRole::Junk) return removeJunk(fd, name, folder);
    if (rule_ == DeleteRule::EmptyOnly) fail(kNotEmptyAnyMore);
    if (rule_ == DeleteRule::ZeroLengthOnly) return removeIfEmpty(fd, name, folder);
    checkAge(fd, name, folder);
    if (unlinkat(fd, name, 0) == 0 || errno == ENOENT) return;
    throw FsError(childPath(folder, name), std::strerror(errno));
}

// A junk file goes whatever it holds, as long as it is still one: a regular file or a link
// under a junk name. Anything else put there under that name stops the deletion.
void FolderDeleter::removeJunk(int fd, const char* name, const std::string& folder) {
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        throw FsError(childPath(folder, name), std::strerror(errno));
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
        throw FsError(childPath(folder, name), "it is no longer a junk file, so its folder stays");
    checkAge(st, name, folder);
    if (unlinkat(fd, name, 0) == 0 || errno == ENOENT) return;
    throw FsError(childPath(folder, name), std::strerror(errno));
}

void FolderDeleter::checkAge(int fd, const char* name, const std::string& folder) const {
    if (!check_.recentFrom) return;
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        throw FsError(childPath(folder, name), std::strerror(errno));
    }
    checkAge(st, name, folder);
}

void FolderDeleter::checkAge(const struct stat& st, const char* name,
                             const std::string& folder) const {
    if (check_.recentFrom && modifiedAt(st) >= *check_.recentFrom)
        throw FsError(childPath(folder, name), kRecent);
}

// A folder of total size 0 was listed for holding nothing but empty files and folders: a
// regular file with content in it now was written after the scan, and is not the user's
// choice to lose; nor is one that a program still holds open, and may write to yet.
void FolderDeleter::removeIfEmpty(int fd, const char* name, const std::string& folder) {
    if (beforeFileRemoved) beforeFileRemoved(childPath(folder, name));
    EmptyFileOutcome outcome;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string aside =
            ".voidbroom-" + std::to_string(getpid()) + "-" + std::to_string(++asideCount_);
        outcome = removeEmptyFile(fd, name, aside, check_.recentFrom.value_or(kNeverRead));
        if (outcome.verdict != EmptyFileVerdict::Failed || outcome.error != EEXIST) break;
    }
    if (outcome.verdict != EmptyFileVerdict::Removed)
        throw FsError(childPath(folder, name), describe(outcome));
}

}  // namespace voidbroom
