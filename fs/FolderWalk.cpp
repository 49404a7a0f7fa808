#include "fs/FolderWalk.h"

#include "fs/Paths.h"

namespace voidbroom {

FolderWalk::FolderWalk(ListingOptions options, std::size_t maxOpen)
    : options_(options), stack_(maxOpen) {}

void FolderWalk::clear() {
    levels_.clear();
    stack_.clear();
    subfolders_.clear();
    current_.reset();
    currentFirst_ = 0;
}

OpenOutcome FolderWalk::start(const std::string& path, FollowLinks follow) {
    clear();
    path_ = path;
    taken_.clear();
    ++opens_;
    OpenedFolder root = openFolderPath(path, follow);
    if (root.status != OpenStatus::Opened) return root.outcome();
    current_ = std::move(root.fd);
    read();
    return root.outcome();
}

OpenOutcome FolderWalk::startAt(int parentFd, std::string_view name, const std::string& path) {
    clear();
    stack_.startBorrowed(parentFd);
    path_ = path;
    taken_.assign(name);
    return open(parentFd, false);
}

void FolderWalk::descend() {
    levels_.push_back(Level{currentFirst_, currentFirst_, subfolders_.size(), path_.size()});
    if (stack_.empty())
        stack_.start(std::move(current_));
    else
        stack_.push(std::move(current_), taken_);
}

bool FolderWalk::take() {
    Level& level = levels_.back();
    subfolders_.truncate(level.end);  // those of a folder read but not descended into
    current_.reset();
    if (level.next == level.end) return false;
    const std::size_t i = level.next++;
    taken_.assign(subfolders_.name(i));
    takenInode_ = subfolders_.inode(i);
    path_.resize(level.pathLength);
    appendChild(path_, taken_);
    return true;
}

OpenOutcome FolderWalk::enter() {
    return open(levelFd(), options_.grantOwnerRights);
}

void FolderWalk::leave() {
    const Level level = levels_.back();
    levels_.pop_back();
    taken_ = stack_.topName();
    subfolders_.truncate(level.first);
    current_.reset();
    path_.resize(level.pathLength);
    stack_.pop();
}

OpenOutcome FolderWalk::enterAgain() {
    return enter();
}

OpenOutcome FolderWalk::open(int parentFd, bool grant) {
    ++opens_;
    OpenedFolder child = openChildFolder(parentFd, taken_.c_str());
    if (grant && child.status == OpenStatus::Failed && child.error == EACCES &&
        grantOwnerRights(parentFd, taken_.c_str()))
        child = openChildFolder(parentFd, taken_.c_str());
    if (child.status != OpenStatus::Opened) return child.outcome();
    current_ = std::move(child.fd);
    // Before it is read: a folder its owner may not search cannot tell its files' lengths.
    if (grant) grantOwnerRights(current_.get());
    read();
    return child.outcome();
}

void FolderWalk::read() {
    subfolders_.truncate(levels_.empty() ? 0 : levels_.back().end);
    currentFirst_ = subfolders_.size();
    listing_.files = 0;
    listing_.filesLength = FileLength::Zero;
    listing_.fileNames.clear();
    const int fd = current_.get();
    listing_.error = reader_.forEach(fd, [&](const DirEntry& entry) {
        if (entry.isFolder) {
            subfolders_.add(entry.name, entry.inode);
            return true;
        }
        ++listing_.files;
        if (options_.fileNames) listing_.fileNames.add(entry.name, entry.inode);
        if (options_.fileLengths && listing_.filesLength == FileLength::Zero) {
            listing_.filesLength = DirReader::lengthOf(fd, entry.name.data());
            if (options_.stopAtData && listing_.filesLength != FileLength::Zero) return false;
        }
        return true;
    });
}

}  // namespace voidbroom
