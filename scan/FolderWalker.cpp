#include "scan/FolderWalker.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "fs/FolderOpen.h"
#include "fs/Paths.h"
#include "scan/ResultEntry.h"

namespace voidbroom {
namespace {
SizeAnswer sizeAnswerOf(FileLength length) {
    switch (length) {
        case FileLength::Zero:
            return SizeAnswer::Zero;
        case FileLength::NotZero:
            return SizeAnswer::NotZero;
        case FileLength::Unreadable:
            break;
    }
    return SizeAnswer::Unreadable;
}

bool isFolderIn(int parentFd, const std::string& name) {
    struct stat st;
    return fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

FolderWalker::FolderWalker(ScanHost& host) : host_(host) {}

WalkCounters FolderWalker::counters() const {
    return {foldersOpened_, reader_.reads() + probe_.reads(), probe_.opens()};
}

WalkResult FolderWalker::ScanFolder(const std::string& rootPath) {
    frames_.clear();
    pending_.clear();
    stack_.clear();
    queue_.clear();
    queueHead_ = 0;
    probe_.forget();  // the tree may have changed since the last walk
    host_.yield();
    if (host_.stopRequested()) return {};
    OpenedFolder root = openFolderPath(rootPath, FollowLinks::Yes);
    if (root.status == OpenStatus::Missing)
        return {WalkResult::Status::RootMissing, describeOpenFailure(root)};
    host_.showFolder(rootPath);
    if (root.status != OpenStatus::Opened)
        return {WalkResult::Status::RootFailed, describeOpenFailure(root)};
    path_ = rootPath;
    examine(std::move(root.fd), {}, 0, true);
    while (!frames_.empty()) {
        if (frames_.back().next == frames_.back().end)
            leave();
        else
            visitNext(frames_.back());
    }
    return {};
}

// One visit of the next subfolder of `frame`'s folder. After a stop the remaining visits
// still yield, then end without examining anything.
void FolderWalker::visitNext(Frame& frame) {
    const std::size_t sub = frame.next++;
    host_.yield();
    const int parentFd = stack_.top();
    name_.assign(pending_.name(sub));
    if (host_.stopRequested()) {
        // Entries found before the stop may still wait for a size that this subfolder
        // decides; answer it without visiting, as a size read would have.
        if (!queue_.empty() && frame.size == SizeAnswer::Zero) {
            const SizeAnswer size = parentFd < 0 ? SizeAnswer::Unreadable
                                                 : probe_.sizeOf(parentFd, name_, pending_.inode(sub));
            if (size != SizeAnswer::Zero) markNotZero(size);
        }
        return;
    }
    if (parentFd < 0) {  // the folder was moved away: its enumeration cannot go on
        frame.next = frame.end;
        markNotZero(SizeAnswer::Unreadable);
        return;
    }
    path_.resize(frame.pathLength);
    appendChild(path_, name_);
    OpenedFolder child = openChildFolder(parentFd, name_.c_str());
    // A folder removed since its parent was listed, or replaced by a file or a link, is not
    // there any more; a mount point belongs to another drive. Neither is shown or listed,
    // and the size of what holds them cannot be told.
    if (child.status != OpenStatus::Opened) markNotZero(SizeAnswer::Unreadable);
    if (child.status == OpenStatus::Missing || child.status == OpenStatus::OtherFileSystem) return;
    // In a folder that may be listed but not searched, a child cannot even be seen to be
    // there: no caption for it.
    if (child.status != OpenStatus::Opened && !isFolderIn(parentFd, name_)) return;
    host_.showFolder(path_);
    if (child.status != OpenStatus::Opened) return;
    examine(std::move(child.fd), name_, pending_.inode(sub), false);
}

// Mode 0 never needs a size: a folder with entries is descended into whatever its size, and
// one without entries is zero-size. Mode 1 must know the size before it descends, and asks
// the size probe, which remembers what it read for the visits below. Mode 2 descends into
// every folder, so a folder's size is decided by the walk below it; only a folder without
// files waits for it, as its entry depends on it (entries after it wait in the queue).
void FolderWalker::examine(Fd fd, std::string_view name, ino_t inode, bool isRoot) {
    ++foldersOpened_;
    const int mode = host_.scanMode();
    const std::optional<SizeAnswer> known =
        mode == 1 && !isRoot ? probe_.takeKnown(name, inode) : std::nullopt;
    const std::size_t firstSub = pending_.size();
    const Listed listed = readListing(fd.get(), mode != 0 && !known);
    const std::size_t subfolders = pending_.size() - firstSub;
    FolderFacts facts;
    bool undecided = false;
    if (listed.readable) {
        facts.files = listed.files;
        facts.subfolders = subfolders;
        if (listed.files == 0 && subfolders == 0)
            facts.size = SizeAnswer::Zero;
        else if (mode == 0)
            facts.size = SizeAnswer::NotZero;  // not read; see above
        else if (known)
            facts.size = *known;
        else if (listed.filesLength != FileLength::Zero)
            facts.size = sizeAnswerOf(listed.filesLength);
        else if (subfolders == 0)
            facts.size = SizeAnswer::Zero;
        else if (mode == 2)
            facts.size = SizeAnswer::Zero, undecided = true;
        else
            facts.size = probeSubfolders(fd.get(), firstSub);
    }
    if (facts.size != SizeAnswer::Zero) markNotZero(facts.size);

    const Verdict verdict = classifyFolder(facts, mode);
    std::size_t slot = kNoSlot;
    if (verdict.listing != Listing::None || (undecided && listed.files == 0)) {
        const EntryKind kind = verdict.listing == Listing::Plain ? EntryKind::Empty
                               : mode == 1                       ? EntryKind::ZeroSize
                                                                 : EntryKind::NoFiles;
        ResultEntry entry{kind, path_, identityOf(fd.get())};
        if (undecided)  // marked unless everything below turns out to be zero-size
            slot = hold(std::move(entry));
        else
            deliver(std::move(entry));
    }
    if (verdict.descend && subfolders > 0) {
        frames_.push_back(Frame{firstSub, firstSub, pending_.size(), path_.size(),
                                facts.size, slot});
        if (isRoot)
            stack_.start(std::move(fd));
        else
            stack_.push(std::move(fd), name);
        return;
    }
    pending_.truncate(firstSub);
}

FolderWalker::Listed FolderWalker::readListing(int fd, bool wantLengths) {
    Listed listed;
    const int error = reader_.forEach(fd, [&](const DirEntry& entry) {
        if (entry.isFolder) {
            pending_.add(entry.name, entry.inode);
            return true;
        }
        ++listed.files;
        // Only until the first file that is not empty: the answer is then known.
        if (wantLengths && listed.filesLength == FileLength::Zero)
            listed.filesLength = DirReader::lengthOf(fd, entry.name.data());
        return true;
    });
    listed.readable = error == 0;
    return listed;
}

SizeAnswer FolderWalker::probeSubfolders(int fd, std::size_t firstSub) {
    for (std::size_t i = firstSub; i < pending_.size(); ++i) {
        const SizeAnswer answer = probe_.sizeOf(fd, pending_.name(i), pending_.inode(i));
        if (answer != SizeAnswer::Zero) return answer;
    }
    return SizeAnswer::Zero;
}

void FolderWalker::leave() {
    const Frame& frame = frames_.back();
    // Everything below was zero-size: so is this folder, and its waiting entry goes.
    if (frame.slot != kNoSlot) settle(frame.slot, false);
    pending_.truncate(frame.first);
    frames_.pop_back();
    stack_.pop();
}

void FolderWalker::markNotZero(SizeAnswer answer) {
    for (auto i = frames_.size(); i-- > 0;) {
        Frame& frame = frames_[i];
        if (frame.size != SizeAnswer::Zero) break;  // and so is everything above it
        frame.size = answer;
        if (frame.slot != kNoSlot) settle(std::exchange(frame.slot, kNoSlot), true);
    }
}

void FolderWalker::deliver(ResultEntry entry) {
    if (queue_.empty())
        host_.addEntry(entry);
    else
        queue_.push_back(Queued{std::move(entry), Queued::State::Ready});
}

std::size_t FolderWalker::hold(ResultEntry entry) {
    queue_.push_back(Queued{std::move(entry), Queued::State::Waiting});
    return queue_.size() - 1;
}

void FolderWalker::settle(std::size_t slot, bool keep) {
    queue_[slot].state = keep ? Queued::State::Ready : Queued::State::Dropped;
    for (; queueHead_ < queue_.size(); ++queueHead_) {
        const Queued& queued = queue_[queueHead_];
        if (queued.state == Queued::State::Waiting) return;
        if (queued.state == Queued::State::Ready) host_.addEntry(queued.entry);
    }
    queue_.clear();
    queueHead_ = 0;
}

}  // namespace voidbroom
