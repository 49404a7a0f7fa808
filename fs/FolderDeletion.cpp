#include "fs/FolderDeletion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fs/FsError.h"
#include "fs/FolderOpen.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {
// A folder that fills up again while it is being emptied is emptied this many times at most.
constexpr int kMaxAttempts = 3;
}  // namespace

void FolderDeleter::fail(const std::string& reason) const { throw FsError(path_, reason); }

void FolderDeleter::deleteFolder(const std::string& path, const DeleteCheck& check, bool force) {
    force_ = force;
    rule_ = check.rule;
    path_ = path;
    while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
    const std::string name(leafName(path_));
    if (name.empty() || name == "/" || name == "." || name == "..") fail("this folder cannot be deleted");
    OpenedFolder parent = openFolderPath(parentPathOf(path_), FollowLinks::No);
    if (parent.status != OpenStatus::Opened) {
        fail(parent.status == OpenStatus::Missing ? "it no longer exists (or a folder on its path was "
                                                    "replaced by a link)"
                                                  : "the folder that holds it cannot be opened: " +
                                                        describeOpenFailure(parent));
    }
    // Not unlocked with force: nothing is changed before the folder is known to be the one listed.
    OpenedFolder folder = openChildFolder(parent.fd.get(), name.c_str());
    if (folder.status != OpenStatus::Opened) {
        fail(folder.status == OpenStatus::Missing && folder.error == ENOENT ? "it no longer exists"
                                                                             : describeOpenFailure(folder));
    }
    checkStillListed(folder.fd.get(), path_, check);
    if (check.rule == DeleteRule::EmptyOnly) {
        if (unlinkat(parent.fd.get(), name.c_str(), AT_REMOVEDIR) == 0) return;
        fail(errno == ENOTEMPTY || errno == EEXIST ? "it is not empty any more: something was put in it after the scan"
                                                  : std::strerror(errno));
    }
    frames_.clear();
    subs_.clear();
    stack_.startBorrowed(parent.fd.get());
    enter(std::move(folder.fd), name, 1);
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next == frame.end)
            leave();
        else
            enterNext(frame);
    }
    stack_.clear();
}

void FolderDeleter::checkStillListed(int fd, const std::string& path, const DeleteCheck& check) {
    if (check.folder == FolderIdentity{}) throw FsError(path, "the scan did not record which folder it was");
    if (!(identityOf(fd) == check.folder))
        throw FsError(path, "it is not the folder that the scan listed: it was replaced since");
    if (check.rule != DeleteRule::EmptyOnly) return;
    bool empty = true;
    reader_.forEach(fd, [&](const DirEntry&) { return empty = false; });
    if (!empty) throw FsError(path, "it is not empty any more: something was put in it after the scan");
}

void FolderDeleter::enter(Fd fd, const std::string& name, int attempts) {
    const int raw = fd.get();
    // Before anything inside is touched: entries of a folder its owner may not write or
    // search cannot be removed, nor its files' lengths read.
    if (force_) grantOwnerRights(raw);
    std::vector<std::string> files;
    const std::size_t first = subs_.size();
    const int error = reader_.forEach(raw, [&](const DirEntry& entry) {
        (entry.isFolder ? subs_ : files).emplace_back(entry.name);
        return true;
    });
    if (error != 0) fail(std::strerror(error));
    // Names are read first and removed afterwards: removing while reading may skip entries.
    for (const auto& file : files) removeFile(raw, file.c_str());
    frames_.push_back(Frame{name, first, first, subs_.size(), path_.size(), attempts});
    stack_.push(std::move(fd), name);
}

void FolderDeleter::enterNext(Frame& frame) {
    const std::string name = subs_[frame.next++];
    const std::size_t pathLength = frame.pathLength;
    const int fd = stack_.top();
    if (fd < 0) fail("it was moved away during the deletion");
    path_.resize(pathLength);
    appendChild(path_, name);
    if (beforeEnter) beforeEnter(path_);
    OpenedFolder child = openChild(fd, name.c_str());
    switch (child.status) {
        case OpenStatus::Opened:
            enter(std::move(child.fd), name, 1);
            return;
        case OpenStatus::Missing:
            // Gone, or no longer a folder: whatever took its place is removed as it is, and a
            // link is never followed.
            path_.resize(pathLength);
            if (child.error != ENOENT) removeFile(fd, name.c_str());
            return;
        case OpenStatus::OtherFileSystem:
            fail("it is the mount point of another file system, which is left alone");
        case OpenStatus::Failed:
            break;
    }
    fail(describeOpenFailure(child));
}

// Every folder below has been removed: the folder itself goes, unless something was put
// in it meanwhile, in which case it is emptied again.
void FolderDeleter::leave() {
    const std::string name = std::move(frames_.back().name);
    const int attempts = frames_.back().attempts;
    path_.resize(frames_.back().pathLength);
    subs_.resize(frames_.back().first);
    frames_.pop_back();
    stack_.pop();
    const int parent = stack_.top();
    if (parent < 0) fail("the folder that holds it was moved away during the deletion");
    if (unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0) {
        path_.resize(frames_.empty() ? path_.size() : frames_.back().pathLength);
        return;
    }
    if (errno != ENOTEMPTY && errno != EEXIST) fail(std::strerror(errno));
    if (attempts >= kMaxAttempts) fail("new content keeps appearing in it");
    OpenedFolder again = openChild(parent, name.c_str());
    if (again.status != OpenStatus::Opened) fail(describeOpenFailure(again));
    enter(std::move(again.fd), name, attempts + 1);
}

OpenedFolder FolderDeleter::openChild(int fd, const char* name) {
    OpenedFolder child = openChildFolder(fd, name);
    if (child.status == OpenStatus::Failed && child.error == EACCES && force_ &&
        grantOwnerRights(fd, name))
        child = openChildFolder(fd, name);
    return child;
}

void FolderDeleter::removeFile(int fd, const char* name) {
    if (rule_ == DeleteRule::ZeroLengthOnly) checkRemovable(fd, name);
    if (unlinkat(fd, name, 0) == 0 || errno == ENOENT) return;
    throw FsError(childPath(path_, name), std::strerror(errno));
}

// A folder of total size 0 was listed for holding nothing but empty files and folders: a
// regular file with content in it now was written after the scan, and is not the user's
// choice to lose. Links, FIFOs, sockets and devices hold no data of their own.
void FolderDeleter::checkRemovable(int fd, const char* name) {
    struct stat st;
    if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return;
        throw FsError(childPath(path_, name), std::strerror(errno));
    }
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        throw FsError(childPath(path_, name), "holds data written after the scan");
}

}  // namespace voidbroom
