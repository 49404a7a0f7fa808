#include "scan/FolderWalker.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace voidbroom {

FolderWalker::FolderWalker(ScanHost& host, unsigned threads) : host_(host) {
    setThreads(threads);
}

WalkCounters FolderWalker::counters() const {
    return {.foldersOpened = foldersOpened_,
            .directoryReads = walk_.reads(),
            .probeOpens = walk_.lookOpens(),
            .opens = walk_.opens(),
            .sizesHeld = probe_.held(),
            .opensAhead = walk_.opensAhead()};
}

WalkResult FolderWalker::ScanFolder(const std::string& rootPath, int scanMode) {
    return walkFrom(openFolderPath(rootPath, FollowLinks::Yes), rootPath, scanMode);
}

WalkResult FolderWalker::ScanFolder(const WalkRoot& root, int scanMode) {
    OpenedFolder folder;
    folder.fd.reset(reopenFolder(root.fd.get()));
    folder.status = folder.fd ? OpenStatus::Opened : OpenStatus::Failed;
    folder.error = folder.fd ? 0 : errno;
    return walkFrom(std::move(folder), root.path, scanMode);
}

WalkResult FolderWalker::walkFrom(OpenedFolder root, const std::string& rootPath, int scanMode) {
    mode_ = scanMode;
    frames_.clear();
    queue_.clear();
    queueHead_ = 0;
    probe_.forget();  // the tree may have changed since the last walk
    walk_.clear();
    walk_.options().fileLengths = mode_ != 0;  // what readers ahead read, for any folder
    // Mode 1 asks the size of every folder before it descends, and a folder's subfolders are
    // read anyway: one of them holding data spares looking at the folder's files.
    walk_.options().subfoldersFirst = mode_ == 1;
    walk_.options().rules = rules_;
    walk_.options().times = aged_;
    host_.yield();
    if (host_.stopRequested()) return {};
    if (root.status == OpenStatus::Missing)
        return {WalkResult::Status::RootMissing, describeOpenFailure(root)};
    host_.showFolder(rootPath);
    if (!root.fd) return {WalkResult::Status::RootFailed, describeOpenFailure(root)};
    keepTrashesOut(root.fd.get());
    walk_.start(std::move(root.fd), rootPath);
    examine(std::nullopt);
    while (!walk_.done()) {
        if (walk_.take())
            visitNext();
        else
            leave();
    }
    walk_.clear();
    return {};
}

// The trashes on the root's file system count as content: the folders in them were put
// there by the user, and are not listed again.
void FolderWalker::keepTrashesOut(int rootFd) {
    walk_.options().keepOut = trashFoldersOf(rootFd, places_);
}

// One visit of the subfolder just taken. After a stop the remaining visits still yield, then
// end without examining anything.
void FolderWalker::visitNext() {
    host_.yield();
    const int parentFd = walk_.levelFd();
    if (host_.stopRequested()) {
        // Entries found before the stop may still wait for a size that this subfolder
        // decides; answer it without visiting, as a size read would have.
        if (!queue_.empty() && frames_.back().size == SizeAnswer::Zero) {
            const SizeAnswer size =
                parentFd < 0 ? SizeAnswer::Unreadable : probe_.sizeOfTaken(walk_);
            if (size != SizeAnswer::Zero) markNotZero(size);
        }
        return;
    }
    if (parentFd < 0) {  // the folder was moved away: its enumeration cannot go on
        walk_.abandonLevel();
        markNotZero(SizeAnswer::Unreadable);
        return;
    }
    const std::optional<ZeroSizeProbe::Known> known =
        mode_ == 1 ? probe_.takeKnown(walk_.takenName(), walk_.takenInode()) : std::nullopt;
    walk_.options().fileLengths = mode_ == 1 ? !known : mode_ == 2 && sizeAwaited();
    const OpenOutcome child = walk_.enter();
    // A folder removed since its parent was listed, or replaced by a file or a link, is not
    // there any more; a mount point belongs to another drive. Neither is shown or listed,
    // and the size of what holds them cannot be told.
    if (!child.opened()) {
        markNotZero(SizeAnswer::Unreadable);
        noteNewest(kNeverRead);  // nothing shows how old it is
    }
    if (child.status == OpenStatus::Missing || child.status == OpenStatus::OtherFileSystem) return;
    // In a folder that may be listed but not searched, a child cannot even be seen to be
    // there: no caption for it.
    if (!child.opened() && !walk_.takenIsFolder()) return;
    host_.showFolder(walk_.path());
    if (child.opened()) examine(known);
}

// Mode 0 never needs a size: a folder with entries is descended into whatever its size, and
// one without entries is zero-size. Mode 1 must know the size before it descends, and asks
// the size probe, which remembers what it read for the visits below. Mode 2 descends into
// every folder, so a folder's size is decided by the walk below it; only a folder without
// files waits for it, as its entry depends on it (entries after it wait in the queue).
void FolderWalker::examine(std::optional<ZeroSizeProbe::Known> known) {
    ++foldersOpened_;
    const FolderListing& listed = walk_.listing();
    const std::size_t subfolders = walk_.subfolderCount();
    FolderFacts facts;
    bool undecided = false;
    std::int64_t newest = listed.readable() ? listed.newest : kNeverRead;
    if (listed.readable()) {
        facts.files = listed.files;
        facts.subfolders = subfolders;
        facts.size = sizeOfListed(known, undecided, newest);
    }
    if (facts.size != SizeAnswer::Zero) markNotZero(facts.size);

    Verdict verdict = classifyFolder(facts, mode_);
    const bool recent = aged_ && newest >= cutoff_;
    // A folder too recent to list whose subfolders were left to it is entered after all:
    // older folders may stand below.
    if (recent && verdict.listing != Listing::None && !verdict.descend) {
        verdict.listing = Listing::None;
        verdict.descend = true;
    }
    const bool descends = verdict.descend && subfolders > 0;
    std::size_t slot = kNoSlot, ageSlot = kNoSlot;
    if (verdict.listing != Listing::None || (undecided && listed.files == 0)) {
        const EntryKind kind = verdict.listing == Listing::Plain ? EntryKind::Empty
                               : mode_ == 1                      ? EntryKind::ZeroSize
                                                                 : EntryKind::NoFiles;
        ResultEntry entry{kind, walk_.path(), walk_.identity(), listed.junkFiles};
        // Marked unless everything below turns out to be zero-size; with an age, only once
        // nothing below turns out to be recent.
        const bool ageWaits = aged_ && descends;
        if (undecided || ageWaits) {
            slot = hold(std::move(entry), undecided, ageWaits);
            if (ageWaits) ageSlot = slot;
            if (!undecided) slot = kNoSlot;
        } else if (!recent) {
            deliver(std::move(entry));
        }
    }
    if (descends) {
        frames_.push_back(Frame{facts.size, slot, newest, ageSlot});
        walk_.descend();
    } else {
        noteNewest(newest);
    }
}

SizeAnswer FolderWalker::sizeOfListed(std::optional<ZeroSizeProbe::Known> known, bool& undecided,
                                      std::int64_t& newest) {
    const FolderListing& listed = walk_.listing();
    const std::size_t subfolders = walk_.subfolderCount();
    if (listed.files == 0 && subfolders == 0) return SizeAnswer::Zero;
    if (mode_ == 0) return SizeAnswer::NotZero;  // not read; see above
    if (known) {
        newest = std::max(newest, known->newest);
        return known->answer;
    }
    // Files whose lengths were not asked for: nothing waits for this size (see sizeAwaited),
    // and NotZero keeps it that way for the folders below.
    if (listed.files > 0 && !walk_.options().fileLengths) return SizeAnswer::NotZero;
    if (listed.filesLength != FileLength::Zero && listed.filesLength != FileLength::Unasked)
        return sizeAnswerOf(listed.filesLength);
    if (subfolders == 0) return SizeAnswer::Zero;
    if (mode_ == 1) {
        std::int64_t below = 0;
        // A folder too recent to list is entered: what is known below it is kept for then.
        const std::int64_t keepFrom = !aged_              ? kNeverRead
                                      : newest >= cutoff_ ? std::numeric_limits<std::int64_t>::min()
                                                          : cutoff_;
        const SizeAnswer answer = probe_.sizeOfSubfolders(walk_, &below, keepFrom);
        newest = std::max(newest, below);
        return answer;
    }
    undecided = true;
    return SizeAnswer::Zero;
}

// In mode 2 a folder's size matters only to an open folder above it whose entry waits for it,
// and only while the innermost open folder is still zero-size so far: once one is not, no
// folder above it is either. Where nothing waits, the files' lengths are not read.
bool FolderWalker::sizeAwaited() const {
    return !frames_.empty() && frames_.back().size == SizeAnswer::Zero;
}

void FolderWalker::leave() {
    const Frame frame = frames_.back();
    // Everything below was zero-size: so is this folder, and its waiting entry goes.
    if (frame.slot != kNoSlot) settle(frame.slot, false);
    if (frame.ageSlot != kNoSlot) settleAge(frame.ageSlot, frame.newest < cutoff_);
    frames_.pop_back();
    noteNewest(frame.newest);
    walk_.leave();
}

void FolderWalker::noteNewest(std::int64_t time) {
    if (aged_ && !frames_.empty()) frames_.back().newest = std::max(frames_.back().newest, time);
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
        queue_.push_back(Queued{std::move(entry), Queued::State::Ready, false});
}

std::size_t FolderWalker::hold(ResultEntry entry, bool sizeWaits, bool ageWaits) {
    queue_.push_back(Queued{std::move(entry),
                            sizeWaits ? Queued::State::Waiting : Queued::State::Ready, ageWaits});
    return queue_.size() - 1;
}

void FolderWalker::settle(std::size_t slot, bool keep) {
    Queued& queued = queue_[slot];
    if (queued.state != Queued::State::Dropped)
        queued.state = keep ? Queued::State::Ready : Queued::State::Dropped;
    flush();
}

void FolderWalker::settleAge(std::size_t slot, bool keep) {
    queue_[slot].ageWaits = false;
    if (!keep) queue_[slot].state = Queued::State::Dropped;
    flush();
}

void FolderWalker::flush() {
    for (; queueHead_ < queue_.size(); ++queueHead_) {
        const Queued& queued = queue_[queueHead_];
        if (queued.state == Queued::State::Waiting || queued.ageWaits) return;
        if (queued.state == Queued::State::Ready) host_.addEntry(queued.entry);
    }
    queue_.clear();
    queueHead_ = 0;
}

}  // namespace voidbroom
