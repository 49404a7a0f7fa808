#include "fs/FolderWalk.h"

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
    taken_.clear();
    ++opens_;
    const auto started = std::chrono::steady_clock::now();
    current_ = std::move(folder);
    options_.setFileSystemOf(current_.get());
    prepareReadAhead(current_.get());
    read();
    notePace(std::chrono::steady_clock::now() - started);
    return {OpenStatus::Opened, 0};
}

// The readers for a walk from the folder `folderFd`: as many as were asked for, or as suit
// its drive.
void FolderWalk::prepareReadAhead(int folderFd) {
    const unsigned threads =
        threads_ == kDefaultReadAheadThreads ? readAheadThreadsFor(folderFd) : threads_;
    if (threads <= 1)
        readAhead_.reset();
    else if (!readAhead_ || readAhead_->threads() != threads ||
             !(readAhead_->options() == options_))
        readAhead_ = std::make_unique<ReadAhead>(threads, options_);
    engaged_ = readAhead_ && engageAbove_.count() == 0;
    pace_ = 0;
    startPaceWindow();
}

OpenOutcome FolderWalk::startAt(int parentFd, std::string_view name, const std::string& path) {
    clear();
    stack_.startBorrowed(parentFd);
    path_ = path;
    taken_.assign(name);
    // A walk started here after another on the same drive (a size question after the last)
    // keeps its readers and its pace: what made the last one wait makes this one wait too.
    // A serial walk has nothing to prepare, and two clock reads a question would be waste.
    if (threads_ != 1 && !(readAhead_ && readAhead_->options() == options_))
        prepareReadAhead(parentFd);
    return open(parentFd, false);
}

FolderIdentity FolderWalk::identity() const {
    return currentIdentity_ ? *currentIdentity_ : identityOf(current_.get());
}

std::shared_ptr<ReadGroup> FolderWalk::currentGroup() {
    // One the size question gave up (its answer was known) is of no use to a descent.
    if (currentGroup_ && readAhead_->cancelled(*currentGroup_)) currentGroup_.reset();
    if (!currentGroup_ && engaged_ && current_)
        currentGroup_ =
            readAhead_->plan(current_.get(), subfolders_, currentFirst_, subfolderCount());
    return currentGroup_;
}

void FolderWalk::descend() {
    std::shared_ptr<ReadGroup> group = currentGroup();
    currentGroup_.reset();
    levels_.push_back(
        Level{currentFirst_, currentFirst_, subfolders_.size(), path_.size(), std::move(group)});
    if (stack_.empty())
        stack_.start(std::move(current_));
    else
        stack_.push(std::move(current_), taken_);
}

// A folder read but not descended into: what was read ahead below it is not needed.
void FolderWalk::dropCurrentGroup() {
    if (currentGroup_) readAhead_->cancel(currentGroup_);
    currentGroup_.reset();
}

bool FolderWalk::take() {
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
    if (level.group) return adopt(readAhead_->take(*level.group, takenSlot()));
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
    readFolder(reader_, current_.get(), options_, listing_, subfolders_);
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
                       const std::string& path)
    : walk_(walk) {
    walk_.options().setFileSystemOf(parentFd);
    const OpenOutcome folder = walk_.startAt(parentFd, name, path);
    if (!folder.opened())
        failure = folder.status == OpenStatus::Missing && folder.error == ENOENT
                      ? "it no longer exists"
                      : describeOpenFailure(folder);
}

ChangeWalk::~ChangeWalk() {
    walk_.clear();
}

}  // namespace voidbroom
