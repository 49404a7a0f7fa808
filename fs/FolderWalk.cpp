#include "fs/FolderWalk.h"

#include <fcntl.h>

#include <cerrno>

#include "fs/Paths.h"
#include "fs/ThreadClock.h"

namespace voidbroom {

FolderWalk::FolderWalk(ListingOptions options, std::size_t maxOpen)
    : options_(options), stack_(maxOpen) {}

FolderWalk::~FolderWalk() {
    clear();
    readAhead_.reset();  // joins the reader threads before anything they use goes
}

// The reader threads end with the engine, and the next walk of the same engine uses them
// again; what they still held for this walk is let go here.
void FolderWalk::clear() {
    look_.reset();
    for (Level& level : levels_)
        if (level.group) readAhead_->cancel(level.group);
    levels_.clear();
    dropCurrentGroup();
    stack_.clear();
    subfolders_.clear();
    current_.reset();
    currentFirst_ = 0;
}

OpenOutcome FolderWalk::start(const std::string& path, FollowLinks follow) {
    OpenedFolder root = openFolderPath(path, follow);
    if (root.status == OpenStatus::Opened) return start(std::move(root.fd), path);
    clear();
    path_ = path;
    ++opens_;
    return root.outcome();
}

OpenOutcome FolderWalk::start(Fd folder, const std::string& path) {
    clear();
    path_ = path;
    topLength_ = path.size();
    taken_.clear();
    ++opens_;
    const auto started = std::chrono::steady_clock::now();
    current_ = std::move(folder);
    options_.setFileSystemOf(current_.get());
    prepareReadAhead();
    read();
    notePace(std::chrono::steady_clock::now() - started);
    return {OpenStatus::Opened, 0};
}

// The readers for a walk: as many as were asked for.
void FolderWalk::prepareReadAhead() {
    if (threads_ <= 1)
        readAhead_.reset();
    else if (!readAhead_ || readAhead_->threads() != threads_ ||
             !(readAhead_->options() == options_))
        readAhead_ = std::make_unique<ReadAhead>(threads_, options_);
    engaged_ = readAhead_ && engageAbove_.count() == 0;
    openLevelsUnplanned_ = false;
    pace_ = 0;
    startPaceWindow();
}

OpenOutcome FolderWalk::startAt(int parentFd, std::string_view name, const std::string& path,
                                std::size_t topLength) {
    clear();
    stack_.startBorrowed(parentFd);
    path_ = path;
    topLength_ = topLength == std::string::npos ? path.size() : topLength;
    taken_.assign(name);
    // A walk started here after another on the same drive (the next deletion after the last)
    // keeps its readers and its pace: what made the last one wait makes this one wait too.
    // A serial walk has nothing to prepare, and two clock reads a question would be waste.
    if (threads_ != 1 && !(readAhead_ && readAhead_->options() == options_)) prepareReadAhead();
    return open(parentFd, false);
}

FolderIdentity FolderWalk::identity() const {
    return currentIdentity_ ? *currentIdentity_ : identityOf(current_.get());
}

std::shared_ptr<ReadGroup> FolderWalk::currentGroup() {
    // One the size question gave up (its answer was known) is of no use to a descent.
    if (currentGroup_ && readAhead_->cancelled(*currentGroup_)) {
        currentGroup_.reset();
        currentGroupLent_ = false;
    }
    if (!currentGroup_ && engaged_ && current_)
        currentGroup_ = readAhead_->plan(current_.get(), levels_.size(), subfolders_, currentFirst_,
                                         subfolderCount(), std::string(pathFromTop()));
    return currentGroup_;
}

// Readers engaged below levels the walk read by itself read what those levels still hold
// too, and not only the levels opened from now on: otherwise the walk would come back to
// each of them to read its next folder alone, with the readers waiting for its subfolders.
void FolderWalk::planOpenLevels() {
    openLevelsUnplanned_ = false;
    const std::size_t below = stack_.size() - levels_.size();  // a starting folder's parent
    for (std::size_t k = 0; k < levels_.size(); ++k) {
        Level& level = levels_[k];
        const int fd = stack_.fdAt(below + k);
        if (level.group || level.next == level.end || fd < 0) continue;
        level.group = readAhead_->plan(fd, k, subfolders_, level.next, level.end - level.next,
                                       std::string(pathFromTop(level.pathLength)));
        level.slotBase = level.next;
    }
}

void FolderWalk::descend() {
    std::shared_ptr<ReadGroup> group = currentGroup();
    currentGroup_.reset();
    levels_.push_back(Level{currentFirst_, currentFirst_, subfolders_.size(), path_.size(),
                            std::move(group), currentFirst_, true,
                            std::exchange(currentGroupLent_, false)});
    if (stack_.empty())
        stack_.start(std::move(current_));
    else
        stack_.push(std::move(current_), taken_);
}

// A folder read but not descended into: what was read ahead below it is not needed, unless
// it was only looked at, and the walk will enter it.
void FolderWalk::dropCurrentGroup() {
    if (currentGroup_ && !currentGroupLent_) readAhead_->cancel(currentGroup_);
    currentGroup_.reset();
    currentGroupLent_ = false;
}

bool FolderWalk::take() {
    if (openLevelsUnplanned_ && !look_) planOpenLevels();
    Level& level = levels_.back();
    dropCurrentGroup();
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
    const Level& level = levels_.back();
    if (level.group && look_) return adoptLooked(readAhead_->look(*level.group, takenSlot()));
    if (level.group) return adopt(readAhead_->take(*level.group, takenSlot()));
    if (look_) ++lookOpens_;
    return open(levelFd(), options_.grantOwnerRights);
}

bool FolderWalk::takenIsFolder() const {
    if (levels_.back().group) return takenSeenAsFolder_;
    return isFolderIn(levelFd(), taken_.c_str());
}

void FolderWalk::abandonLevel() {
    Level& level = levels_.back();
    level.next = level.end;
    if (level.group) readAhead_->cancel(level.group);
}

void FolderWalk::leave() {
    Level level = std::move(levels_.back());
    levels_.pop_back();
    dropCurrentGroup();
    // Walked to its end, in a look too: a look leaves only a folder it found zero-size,
    // which the walk lists without entering.
    if (level.group) readAhead_->cancel(level.group);
    taken_ = stack_.topName();
    subfolders_.truncate(level.first);
    current_.reset();
    path_.resize(level.pathLength);
    stack_.pop();
}

OpenOutcome FolderWalk::enterAgain() {
    return open(levelFd(), options_.grantOwnerRights);
}

OpenOutcome FolderWalk::open(int parentFd, bool grant) {
    ++opens_;
    const auto started = std::chrono::steady_clock::now();
    const OpenOutcome outcome =
        openChild(parentFd, taken_.c_str(), grant, options_.device, current_);
    if (outcome.opened()) read();
    notePace(std::chrono::steady_clock::now() - started);
    return outcome;
}

// A moving average over the last few dozen folders, each counted at most ten times the
// threshold, so that one slow folder on a fast disk engages nothing; disengaged again below
// half the threshold, where reading ahead no longer pays. Folders that are slow to read here
// engage the readers only when the walk spent most of its recent opening and reading waiting:
// a warm disk's big folders are slow from work, which other threads would not share but only
// contend for. Only the opening counts, not the time between: the window spends some of that
// waiting for its display, which no reader would shorten. And waiting is sleeping: on a busy
// machine a walk that never sleeps still loses the processor to others for whole time slices,
// which readers would only lengthen.
void FolderWalk::notePace(std::chrono::nanoseconds took) {
    if (!readAhead_ || engageAbove_.count() == 0) return;
    const double limit = static_cast<double>(engageAbove_.count());
    pace_ += (std::min(static_cast<double>(took.count()), 10 * limit) - pace_) / 32;
    paceWindowOpening_ += took;
    ++paceWindowFolders_;
    if (engaged_) {
        if (pace_ >= limit / 2) return;
        engaged_ = false;
        startPaceWindow();
    } else if (pace_ > limit) {
        engaged_ = mostlyWaited();
        openLevelsUnplanned_ = engaged_;
        if (!engaged_) pace_ = 0;
        startPaceWindow();
    } else if (paceWindowFolders_ >= kPaceWindowFolders) {
        startPaceWindow();
    }
}

void FolderWalk::startPaceWindow() {
    paceWindowOpening_ = std::chrono::nanoseconds(0);
    paceWindowCpu_ = threadCpuTime();
    paceWindowSleeps_ = threadSleeps();
    paceWindowFolders_ = 0;
}

bool FolderWalk::mostlyWaited() const {
    const auto cpu = threadCpuTime() - paceWindowCpu_;
    const long sleeps = threadSleeps() - paceWindowSleeps_;
    return cpu * 2 < paceWindowOpening_ && sleeps * 4 >= static_cast<long>(paceWindowFolders_);
}

void FolderWalk::read() {
    subfolders_.truncate(levels_.empty() ? 0 : levels_.back().end);
    currentFirst_ = subfolders_.size();
    currentIdentity_.reset();
    readFolder(reader_, current_.get(), options_, listing_, subfolders_, pathFromTop());
}

// A folder a reader thread read: it becomes the current folder as if read here.
OpenOutcome FolderWalk::adopt(ReadFolder folder) {
    subfolders_.truncate(levels_.back().end);
    currentFirst_ = subfolders_.size();
    takenSeenAsFolder_ = folder.seenAsFolder;
    notePace(folder.took);
    if (!folder.outcome.opened()) return folder.outcome;
    current_ = std::move(folder.fd);
    listing_ = std::move(folder.listing);
    for (std::size_t i = 0; i < folder.subfolders.size(); ++i)
        subfolders_.add(folder.subfolders.name(i), folder.subfolders.inode(i));
    currentIdentity_ = folder.identity;
    currentGroup_ = std::move(folder.group);
    return folder.outcome;
}

// A copy of what the readers read: the folder stays in its slot for the walk, and the look
// descends through a descriptor of its own.
OpenOutcome FolderWalk::adoptLooked(const ReadFolder& folder) {
    subfolders_.truncate(levels_.back().end);
    currentFirst_ = subfolders_.size();
    takenSeenAsFolder_ = folder.seenAsFolder;
    if (!folder.outcome.opened()) return folder.outcome;
    current_.reset(folder.fd ? fcntl(folder.fd.get(), F_DUPFD_CLOEXEC, 0) : -1);
    listing_ = folder.listing;
    for (std::size_t i = 0; i < folder.subfolders.size(); ++i)
        subfolders_.add(folder.subfolders.name(i), folder.subfolders.inode(i));
    currentIdentity_ = folder.identity;
    currentGroup_ = folder.group;
    currentGroupLent_ = true;
    return folder.outcome;
}

void FolderWalk::beginLook() {
    look_.emplace(LookMark{levels_.size(), subfolders_.size(), std::move(current_),
                           std::move(listing_), currentFirst_, std::move(currentGroup_),
                           currentGroupLent_, currentIdentity_, path_, taken_, takenInode_,
                           takenSeenAsFolder_, options_});
    currentGroupLent_ = false;
    options_.fileLengths = true;
    options_.stopAtData = true;
}

void FolderWalk::lookBelowCurrent() {
    std::shared_ptr<ReadGroup> group = currentGroup();
    const int folder = current_.get();
    const std::size_t first = currentFirst_, end = subfolders_.size(), length = path_.size();
    const std::string name = taken_;
    beginLook();
    levels_.push_back(Level{first, first, end, length, std::move(group), first, true, true});
    stack_.pushBorrowed(folder, name);
}

void FolderWalk::lookAtSubfolder(std::size_t i) {
    std::shared_ptr<ReadGroup> group = currentGroup();
    const int folder = current_.get();
    const std::string name(subfolderName(i)), self = taken_;
    const ino_t inode = subfolderInode(i);
    const std::size_t length = path_.size();
    beginLook();
    stack_.pushBorrowed(folder, self);
    lookAtOne(name, inode, std::move(group), i, length, true);
}

void FolderWalk::lookAtTaken() {
    const Level& level = levels_.back();
    std::shared_ptr<ReadGroup> group = level.group;
    const std::size_t slot = takenSlot(), length = level.pathLength;
    const std::string name = taken_;
    const ino_t inode = takenInode_;
    beginLook();
    lookAtOne(name, inode, std::move(group), slot, length, false);
}

// The name is put after every name the walk holds, so that the look's levels above it cut
// none of the walk's away.
void FolderWalk::lookAtOne(std::string name, ino_t inode, std::shared_ptr<ReadGroup> group,
                           std::size_t slot, std::size_t pathLength, bool onStack) {
    const std::size_t at = subfolders_.size();
    subfolders_.add(name, inode);
    levels_.push_back(
        Level{at, at, at + 1, pathLength, std::move(group), at - slot, onStack, true});
}

// The look's levels go as they are: a folder not walked to its end is one the walk will enter,
// and what was read ahead for it stays, save what was read for the look alone.
void FolderWalk::endLook() {
    LookMark& mark = *look_;
    while (levels_.size() > mark.levels) {
        const Level& level = levels_.back();
        if (level.group && !level.groupLent) readAhead_->cancel(level.group);
        if (level.onStack) stack_.pop();
        levels_.pop_back();
    }
    dropCurrentGroup();
    subfolders_.truncate(mark.subfolders);
    current_ = std::move(mark.current);
    listing_ = std::move(mark.listing);
    currentFirst_ = mark.currentFirst;
    currentGroup_ = std::move(mark.currentGroup);
    currentGroupLent_ = mark.currentGroupLent;
    currentIdentity_ = mark.identity;
    path_ = std::move(mark.path);
    taken_ = std::move(mark.taken);
    takenInode_ = mark.takenInode;
    takenSeenAsFolder_ = mark.takenSeenAsFolder;
    options_ = mark.options;
    look_.reset();
}

std::string_view FolderWalk::pathFromTop(std::size_t length) const {
    if (!options_.rules || !options_.rules->needsPaths()) return {};
    return belowTop(std::string_view(path_).substr(0, length), topLength_);
}

std::size_t FolderWalk::reads() const {
    return reader_.reads() + (readAhead_ ? readAhead_->reads() : 0);
}

std::size_t FolderWalk::opens() const {
    return opens_ + opensAhead();
}

std::size_t FolderWalk::opensAhead() const {
    return readAhead_ ? readAhead_->opens() : 0;
}

ChangeWalk::ChangeWalk(FolderWalk& walk, int parentFd, const std::string& name,
                       const std::string& path, std::size_t topLength)
    : walk_(walk) {
    walk_.options().setFileSystemOf(parentFd);
    const OpenOutcome folder = walk_.startAt(parentFd, name, path, topLength);
    if (!folder.opened())
        failure = folder.status == OpenStatus::Missing && folder.error == ENOENT
                      ? "it no longer exists"
                      : describeOpenFailure(folder);
}

ChangeWalk::~ChangeWalk() {
    walk_.clear();
}

}  // namespace voidbroom
