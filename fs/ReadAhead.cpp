#include "fs/ReadAhead.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>

#include "fs/FolderStack.h"
#include "fs/ThreadClock.h"

namespace voidbroom {
namespace {
constexpr std::size_t kMaxHeldFolders = 4096;
constexpr std::size_t kMaxHeldBytes = 64u << 20;

std::size_t bytesOf(const ReadFolder& folder) {
    return folder.listing.fileNames.bytes() + folder.subfolders.bytes() + sizeof(ReadFolder);
}

// How long a reader's open and read took, as the walk's pace counts it: the whole time when
// the thread slept meanwhile (it waited for the disk or the network, which is what reading
// ahead hides), else only its processor time. A read that never waited was slowed, if at
// all, by the other threads sharing the processors; counting that would keep the readers
// engaged on a warm disk by the very contention they cause.
class ReadClock {
public:
    ReadClock()
        : wall_(std::chrono::steady_clock::now()), cpu_(threadCpuTime()), sleeps_(threadSleeps()) {}

    std::chrono::nanoseconds took() const {
        if (threadSleeps() != sleeps_) return std::chrono::steady_clock::now() - wall_;
        return threadCpuTime() - cpu_;
    }

private:
    std::chrono::steady_clock::time_point wall_;
    std::chrono::nanoseconds cpu_;
    long sleeps_;
};
}  // namespace

unsigned readAheadThreadsFor(int folderFd) {
    // The file systems whose every request is a round trip.
    struct statfs fs {};
    if (fstatfs(folderFd, &fs) != 0) return kLocalReadAheadThreads;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case NFS_SUPER_MAGIC:
        case FUSE_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case V9FS_MAGIC:
        case CEPH_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
            return kRemoteReadAheadThreads;
        default:
            return kLocalReadAheadThreads;
    }
}

ReadAhead::ReadAhead(unsigned threads, const ListingOptions& options)
    : options_(options),
      maxHeld_(kMaxHeldFolders),
      // Half of what a walk may hold open, shared with the walk's own stack.
      maxDescriptors_(std::clamp<std::size_t>(descriptorBudget() / 2, 8, 1024)),
      threadCount_(threads) {}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& group : stack_) group->cancelled = true;
    }
    work_.notify_all();
    for (auto& thread : threads_) thread.join();
}

std::shared_ptr<ReadGroup> ReadAhead::plan(int fd, const NameList& names, std::size_t first,
                                           std::size_t count, std::string path) {
    std::lock_guard lock(mutex_);
    return planLocked(fd, names, first, count, std::move(path));
}

std::shared_ptr<ReadGroup> ReadAhead::planLocked(int fd, const NameList& names, std::size_t first,
                                                 std::size_t count, std::string path) {
    if (count == 0 || descriptors_ + 1 >= maxDescriptors_) return nullptr;
    // A duplicate: the group's reads must not depend on the walk keeping its descriptor.
    Fd own(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!own) return nullptr;
    auto group = std::make_shared<ReadGroup>();
    group->fd = std::move(own);
    group->path = std::move(path);
    for (std::size_t i = first; i < first + count; ++i)
        group->names.add(names.name(i), names.inode(i));
    group->items.resize(count);
    ++descriptors_;
    // Started here, not before: a walk of a folder without subfolders needs no thread.
    while (threads_.size() < threadCount_) threads_.emplace_back([this] { run(); });
    stack_.push_back(group);
    work_.notify_all();
    return group;
}

const ReadFolder& ReadAhead::look(ReadGroup& group, std::size_t i) {
    std::unique_lock lock(mutex_);
    return *ready(lock, group, i).folder;
}

ReadFolder ReadAhead::take(ReadGroup& group, std::size_t i) {
    std::unique_lock lock(mutex_);
    ReadGroup::Slot& slot = ready(lock, group, i);
    ReadFolder folder = std::move(*slot.folder);
    slot.folder.reset();
    slot.state = ReadGroup::State::Taken;
    --held_;
    heldBytes_ -= bytesOf(folder);
    if (folder.fd) --descriptors_;  // the walk's own from now on
    work_.notify_all();
    return folder;
}

// The slot once it is read: a reader that has it finishes it; one that nobody started is
// read here and now, by the walk itself.
ReadGroup::Slot& ReadAhead::ready(std::unique_lock<std::mutex>& lock, ReadGroup& group,
                                  std::size_t i) {
    ReadGroup::Slot& slot = group.items[i];
    done_.wait(lock, [&] { return slot.state != ReadGroup::State::Reading; });
    if (slot.state == ReadGroup::State::Pending) {
        start(group, i);
        lock.unlock();
        ReadFolder folder = readSlot(group, i, ownReader_);
        lock.lock();
        finish(group, i, std::move(folder));
    }
    return slot;
}

void ReadAhead::start(ReadGroup& group, std::size_t i) {
    group.items[i].state = ReadGroup::State::Reading;
    ++group.inFlight;
    ++held_;
    while (group.next < group.items.size() &&
           group.items[group.next].state != ReadGroup::State::Pending)
        ++group.next;
}

ReadFolder ReadAhead::readSlot(ReadGroup& group, std::size_t i, DirReader& reader) {
    ReadFolder folder;
    const ReadClock clock;
    ++opens_;
    const char* name = group.names.c_str(i);
    folder.outcome =
        openChild(group.fd.get(), name, options_.grantOwnerRights, options_.device, folder.fd);
    if (!folder.outcome.opened()) {
        folder.seenAsFolder = isFolderIn(group.fd.get(), name);
        folder.took = clock.took();
        return folder;
    }
    const std::size_t before = reader.reads();
    readFolder(reader, folder.fd.get(), options_, folder.listing, folder.subfolders,
               pathOf(group, i));
    reads_ += reader.reads() - before;
    folder.identity = identityOf(folder.fd.get());
    if (folder.subfolders.empty()) folder.fd.reset();
    folder.took = clock.took();
    return folder;
}

std::string ReadAhead::pathOf(const ReadGroup& group, std::size_t i) const {
    if (!options_.rules || !options_.rules->needsPaths()) return {};
    std::string path = group.path;
    if (!path.empty()) path += '/';
    path += group.names.name(i);
    return path;
}

void ReadAhead::finish(ReadGroup& group, std::size_t i, ReadFolder folder) {
    --group.inFlight;
    heldBytes_ += bytesOf(folder);
    if (folder.fd) ++descriptors_;
    ReadGroup::Slot& slot = group.items[i];
    if (group.cancelled) {
        forget(folder);
        slot.state = ReadGroup::State::Taken;
    } else {
        if (folder.fd)
            folder.group = planLocked(folder.fd.get(), folder.subfolders, 0,
                                      folder.subfolders.size(), pathOf(group, i));
        slot.folder = std::move(folder);
        slot.state = ReadGroup::State::Done;
    }
    if (group.next == group.items.size() && group.inFlight == 0) release(group);
    done_.notify_all();
    work_.notify_all();
}

void ReadAhead::run() {
    DirReader reader;
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<ReadGroup> group;
        work_.wait(lock, [&] { return stopping_ || (roomForMore() && (group = nextWork())); });
        if (stopping_) return;
        const std::size_t i = group->next;
        start(*group, i);
        lock.unlock();
        ReadFolder folder = readSlot(*group, i, reader);
        lock.lock();
        finish(*group, i, std::move(folder));
    }
}

std::shared_ptr<ReadGroup> ReadAhead::nextWork() {
    while (!stack_.empty()) {
        const std::shared_ptr<ReadGroup>& group = stack_.back();
        if (!group->cancelled && group->next < group->items.size()) return group;
        stack_.pop_back();
    }
    return nullptr;
}

// A reader's open may hold two more descriptors: the folder's, and its group's duplicate.
bool ReadAhead::roomForMore() const {
    return held_ < maxHeld_ && heldBytes_ < kMaxHeldBytes && descriptors_ + 2 < maxDescriptors_;
}

void ReadAhead::cancel(const std::shared_ptr<ReadGroup>& group) {
    if (!group) return;
    std::lock_guard lock(mutex_);
    cancelLocked(*group);
    work_.notify_all();
}

bool ReadAhead::cancelled(const ReadGroup& group) {
    std::lock_guard lock(mutex_);
    return group.cancelled;
}

void ReadAhead::cancelLocked(ReadGroup& group) {
    if (group.cancelled) return;
    group.cancelled = true;
    for (ReadGroup::Slot& slot : group.items) {
        if (slot.state != ReadGroup::State::Done) continue;
        forget(*slot.folder);
        slot.folder.reset();
        slot.state = ReadGroup::State::Taken;
    }
    if (group.inFlight == 0) release(group);
}

void ReadAhead::forget(ReadFolder& folder) {
    if (folder.group) cancelLocked(*folder.group);
    if (folder.fd) {
        folder.fd.reset();
        --descriptors_;
    }
    heldBytes_ -= bytesOf(folder);
    --held_;
}

void ReadAhead::release(ReadGroup& group) {
    if (!group.fd) return;
    group.fd.reset();
    --descriptors_;
}

}  // namespace voidbroom
