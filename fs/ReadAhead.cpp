#include "fs/ReadAhead.h"

#include <fcntl.h>

#include <algorithm>

#include "fs/FolderStack.h"

namespace voidbroom {
namespace {
constexpr std::size_t kMaxHeldFolders = 4096;
constexpr std::size_t kMaxHeldBytes = 64u << 20;
// The room a full window must have again before a sleeping reader is woken.
constexpr std::size_t kRefill = 16;
// Folders of room for each reader woken: woken into room for just one, many readers would
// each sleep again after one folder.
constexpr std::size_t kRoomPerWake = 4;
// Descriptors readers leave for the groups the walk plans.
constexpr std::size_t kWalkReserve = 4;

std::size_t bytesOf(const ReadFolder& folder) {
    return folder.listing.fileNames.bytes() + folder.subfolders.bytes() + sizeof(ReadFolder);
}

}  // namespace

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
        order_.cancelAll();
    }
    work_.notify_all();
    for (auto& thread : threads_) thread.join();
}

std::shared_ptr<ReadGroup> ReadAhead::plan(int fd, std::size_t level, const NameList& names,
                                           std::size_t first, std::size_t count, std::string path) {
    std::shared_ptr<ReadGroup> group = groupOf(fd, names, first, count, std::move(path));
    if (!group) return nullptr;
    std::lock_guard lock(mutex_);
    group->place.level = level;
    group->place.root = ++roots_;
    return admit(std::move(group), false);
}

// Made without the lock: the duplicate is a system call, and the names a copy.
std::shared_ptr<ReadGroup> ReadAhead::groupOf(int fd, const NameList& names, std::size_t first,
                                              std::size_t count, std::string path) {
    if (count == 0) return nullptr;
    // A duplicate: the group's reads must not depend on the walk keeping its descriptor.
    Fd own(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    if (!own) return nullptr;
    auto group = std::make_shared<ReadGroup>();
    group->fd = std::move(own);
    group->path = std::move(path);
    for (std::size_t i = first; i < first + count; ++i)
        group->names.add(names.name(i), names.inode(i));
    group->items.resize(count);
    return group;
}

std::shared_ptr<ReadGroup> ReadAhead::admit(std::shared_ptr<ReadGroup> group, bool byReader) {
    if (descriptors_ + 1 >= maxDescriptors_) return nullptr;
    ++descriptors_;
    // Started here, not before: a walk of a folder without subfolders needs no thread.
    while (threads_.size() < threadCount_) threads_.emplace_back([this] { run(); });
    order_.add(group);
    // A reader that read the group's folder goes on with its first subfolder itself.
    wakeReaders(group->items.size() - (byReader ? 1 : 0));
    return group;
}

// A reader is woken only when there is work and room for it: one per folder to read, as far
// as idle ones go that no earlier wake-up is on its way to.
void ReadAhead::wakeReaders(std::size_t work) {
    // The readers at work take the room first, each its next folder.
    const std::size_t running = threads_.size() - idle_, free = room();
    const std::size_t left = free > running ? free - running : 0;
    const std::size_t wakes =
        std::min({work, idle_ - woken_, (left + kRoomPerWake - 1) / kRoomPerWake});
    woken_ += wakes;
    for (std::size_t i = 0; i < wakes; ++i) work_.notify_one();
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
    wakeForRoom();
    return folder;
}

// The slot once it is read: a reader that has it finishes it; one that nobody started is
// read here and now, by the walk itself.
ReadGroup::Slot& ReadAhead::ready(std::unique_lock<std::mutex>& lock, ReadGroup& group,
                                  std::size_t i) {
    ReadGroup::Slot& slot = group.items[i];
    if (slot.state == ReadGroup::State::Reading) {
        awaited_ = &slot;
        done_.wait(lock, [&] { return slot.state != ReadGroup::State::Reading; });
        awaited_ = nullptr;
    }
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
    ++reading_;
    ++held_;
    while (group.next < group.items.size() &&
           group.items[group.next].state != ReadGroup::State::Pending)
        ++group.next;
}

ReadFolder ReadAhead::readSlot(ReadGroup& group, std::size_t i, DirReader& reader) {
    ReadFolder folder;
    const auto started = std::chrono::steady_clock::now();
    ++opens_;
    const char* name = group.names.c_str(i);
    folder.outcome =
        openChild(group.fd.get(), name, options_.grantOwnerRights, options_.device, folder.fd);
    if (!folder.outcome.opened()) {
        folder.seenAsFolder = isFolderIn(group.fd.get(), name);
        folder.took = std::chrono::steady_clock::now() - started;
        return folder;
    }
    const std::size_t before = reader.reads();
    std::string path = pathOf(group, i);
    readFolder(reader, folder.fd.get(), options_, folder.listing, folder.subfolders, path, true);
    reads_ += reader.reads() - before;
    folder.identity = identityOf(folder.fd.get());
    if (folder.subfolders.empty())
        folder.fd.reset();
    else
        folder.group = groupOf(folder.fd.get(), folder.subfolders, 0, folder.subfolders.size(),
                               std::move(path));
    folder.took = std::chrono::steady_clock::now() - started;
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
    --reading_;
    heldBytes_ += bytesOf(folder);
    if (folder.fd) ++descriptors_;
    ReadGroup::Slot& slot = group.items[i];
    if (group.cancelled) {
        folder.group.reset();  // never admitted
        forget(folder);
        slot.state = ReadGroup::State::Taken;
    } else {
        if (folder.group) {
            folder.group->place = placeOfSubfolders(group, i);
            folder.group = admit(std::move(folder.group), true);
        }
        slot.folder = std::move(folder);
        slot.state = ReadGroup::State::Done;
    }
    if (group.next == group.items.size() && group.inFlight == 0) release(group);
    if (awaited_ == &slot) done_.notify_one();
}

// Each turn reads the first folder in the walk's order not started yet and publishes it at
// once, under the lock that takes the next turn's folder too: a reader that has work never
// sleeps, and the folder the walk needs next, with the group of its subfolders, waits for no
// other read.
// (Claiming several folders at a time cost more than it saved: their subfolders' groups were
// planned a few reads late, and the walk waited for them.)
void ReadAhead::run() {
    DirReader reader;
    std::unique_lock lock(mutex_);
    while (std::shared_ptr<ReadGroup> group = awaitWork(lock)) {
        const std::size_t i = group->next;
        start(*group, i);
        lock.unlock();
        ReadFolder folder = readSlot(*group, i, reader);
        lock.lock();
        finish(*group, i, std::move(folder));
    }
}

// The group to read from next, once there is room; nullptr when the walk is over.
std::shared_ptr<ReadGroup> ReadAhead::awaitWork(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<ReadGroup> group;
    ++idle_;
    while (!stopping_ && !(room() > 0 && (group = order_.first()))) {
        work_.wait(lock);
        // Whoever was woken, one wake-up is spent.
        if (woken_ > 0) --woken_;
    }
    --idle_;
    return stopping_ ? nullptr : group;
}

// How many more folders readers may start now. Each read may come to hold two more
// descriptors, the folder's and its group's duplicate: counting those of the reads under way
// too, every group a reader admits finds room, and no subtree is left for the walk to read
// alone while readers read on past it. A few are left over for the groups the walk plans.
std::size_t ReadAhead::room() const {
    if (held_ >= maxHeld_ || heldBytes_ >= kMaxHeldBytes) return 0;
    const std::size_t taken = descriptors_ + kWalkReserve;
    if (taken >= maxDescriptors_) return 0;
    const std::size_t reads = (maxDescriptors_ - taken - 1) / 2;
    return reads > reading_ ? std::min(reads - reading_, maxHeld_ - held_) : 0;
}

// Once the window is full, readers are woken again only when there is room for a run of
// folders, which they read without sleeping in between: not once for every folder the walk
// takes.
void ReadAhead::wakeForRoom() {
    const std::size_t free = room();
    if (free > std::min(kRefill, maxDescriptors_ / 8)) wakeReaders(free);
}

void ReadAhead::cancel(const std::shared_ptr<ReadGroup>& group) {
    if (!group) return;
    std::lock_guard lock(mutex_);
    cancelLocked(*group);
    wakeForRoom();
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
