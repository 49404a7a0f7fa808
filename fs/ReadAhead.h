#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fs/FolderRead.h"
#include "fs/ReadOrder.h"

namespace voidbroom {

// Reader threads a walk uses by default; one means no read-ahead at all. Many requests in
// flight hide a network's or user-space file system's round trips, and a disk, even a local
// one, answers more of them at a time the more it is given. Measured on a virtual disk with a
// cold tree of 200,000 folders, in turns, medians of 5: 16 readers took 4.6 s, 24 and 32 took
// 4.1 s, 48 3.7 s and 64 3.9 s (fd -j16: 5.4 s); in modes 1 and 2, 32 and 48 were fastest and
// 16 and 64 a tenth or more slower. Behind a 1 ms round trip 32 took a third less than 16,
// and 64 three tenths less than 32, but behind 200 µs 64 was up to a sixth slower than 32
// where the file system's server shared the client's two processors: --threads 64 is for
// long round trips.
inline constexpr unsigned kDefaultReadAheadThreads = 32;
// Readers are engaged while opening and reading a folder takes longer than this on average:
// on a warm local disk a folder takes a few microseconds, and threads would only contend.
inline constexpr std::chrono::nanoseconds kEngageReadAheadAbove = std::chrono::microseconds(60);

// A bounded pool of reader threads that open and read folders ahead of one walk, in the
// order the walk will enter them (ReadOrder). The walk asks for a slot's folder when it enters it:
// it waits while a reader has it, and reads it itself when none has started it, so the walk never
// waits for room in the window. The window is bounded in folders, in bytes of names and in
// descriptors. Threads start with the first group and are joined when the object goes, which the
// walk engine that owns it does when its own owner (a scan, a content listing, a log save) is done.
class ReadAhead {
public:
    ReadAhead(unsigned threads, const ListingOptions& options);
    const ListingOptions& options() const { return options_; }
    unsigned threads() const { return threadCount_; }
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // A group for the subfolders names[first, first + count) of the folder open at `fd`, the
    // walk's level `level` (0 for its starting folder); nullptr when the descriptor budget has
    // no room for it (the walk then reads serially). `path` is the folder's path from the top
    // of the walk, for rules that need paths.
    std::shared_ptr<ReadGroup> plan(int fd, std::size_t level, const NameList& names,
                                    std::size_t first, std::size_t count, std::string path = {});
    // The folder of slot `i`, read; it stays in the slot (a look ahead by the size question).
    const ReadFolder& look(ReadGroup& group, std::size_t i);
    // The folder of slot `i`, read, handed over to the walk that enters it.
    ReadFolder take(ReadGroup& group, std::size_t i);
    // Drops what the group still holds, with every group below it; nothing more of it is read.
    void cancel(const std::shared_ptr<ReadGroup>& group);
    bool cancelled(const ReadGroup& group);

    std::size_t reads() const { return reads_; }
    std::size_t opens() const { return opens_; }

private:
    void run();
    std::shared_ptr<ReadGroup> awaitWork(std::unique_lock<std::mutex>& lock);
    // Reads slot `i` of `group` (marked Reading by the caller, with the lock not held).
    ReadFolder readSlot(ReadGroup& group, std::size_t i, DirReader& reader);
    void finish(ReadGroup& group, std::size_t i, ReadFolder folder);
    // The lock is held by every function below.
    ReadGroup::Slot& ready(std::unique_lock<std::mutex>& lock, ReadGroup& group, std::size_t i);
    void start(ReadGroup& group, std::size_t i);
    std::size_t room() const;
    void wakeForRoom();
    void cancelLocked(ReadGroup& group);
    void wakeReaders(std::size_t work);
    void forget(ReadFolder& folder);
    void release(ReadGroup& group);
    // A group for names[first, first + count) of the folder open at `fd`, not yet read from.
    std::shared_ptr<ReadGroup> groupOf(int fd, const NameList& names, std::size_t first,
                                       std::size_t count, std::string path);
    // The group, read from from now on; nullptr when the descriptor budget has no room.
    // `byReader`: admitted by a reader, which reads on from it.
    std::shared_ptr<ReadGroup> admit(std::shared_ptr<ReadGroup> group, bool byReader);
    // The path from the top of the walk of slot `i` of `group`, where the rules need paths.
    std::string pathOf(const ReadGroup& group, std::size_t i) const;

    ListingOptions options_;
    std::mutex mutex_;
    std::condition_variable work_;  // readers wait here for work and room
    std::condition_variable done_;  // the walk waits here for a slot being read
    ReadOrder order_;               // groups with items not started
    std::uint64_t roots_ = 0;       // groups the walk planned
    std::size_t held_ = 0;          // folders read or being read, not handed over yet
    std::size_t heldBytes_ = 0;     // bytes of names they hold
    std::size_t descriptors_ = 0;   // descriptors the read-ahead holds
    std::size_t reading_ = 0;       // folders being read
    std::size_t maxHeld_, maxDescriptors_;
    bool stopping_ = false;
    std::size_t idle_ = 0;   // readers waiting for work
    std::size_t woken_ = 0;  // of those, woken and not yet running
    // The slot the walk waits for, if any: only the reader that finishes it wakes the walk.
    const ReadGroup::Slot* awaited_ = nullptr;
    std::atomic<std::size_t> reads_{0}, opens_{0};
    DirReader ownReader_;  // for items the walk reads itself
    unsigned threadCount_;
    std::vector<std::thread> threads_;
};

}  // namespace voidbroom
