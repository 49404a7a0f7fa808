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

namespace voidbroom {

// Reader threads a walk uses by default: as many as suit the drive it starts on (see
// readAheadThreadsFor). One means no read-ahead at all.
inline constexpr unsigned kDefaultReadAheadThreads = 0;
// A network or user-space file system answers each request after a round trip, and many
// requests in flight hide it; a local disk serves a cold tree best with few, since more only
// make its reads compete and scatter. Measured on a virtual disk with a cold tree of 200,000
// folders: 8 readers took 6.8-8.4 s, 16 took 7.6-8.8 s, 64 took 10.5-11.7 s; behind a 1 ms
// round trip 32 took a third less than 16.
inline constexpr unsigned kLocalReadAheadThreads = 8;
inline constexpr unsigned kRemoteReadAheadThreads = 32;
unsigned readAheadThreadsFor(int folderFd);
// Readers are engaged while opening and reading a folder takes longer than this on average:
// on a warm local disk a folder takes a few microseconds, and threads would only contend.
inline constexpr std::chrono::nanoseconds kEngageReadAheadAbove = std::chrono::microseconds(60);

// A folder as a reader thread opened and read it, ahead of the walk that will enter it.
struct ReadFolder {
    OpenOutcome outcome;
    Fd fd;  // kept while it has subfolders, for the walk's own later opens
    FolderListing listing;
    NameList subfolders;
    FolderIdentity identity;
    bool seenAsFolder = false;                // not opened, but a folder stands there
    std::chrono::nanoseconds took{0};         // to open and read it
    std::shared_ptr<struct ReadGroup> group;  // its subfolders, read ahead in turn
};

// The subfolders of one folder, to be read ahead in order, opened relative to the folder's
// own descriptor (a duplicate, closed once every subfolder has been started).
struct ReadGroup {
    enum class State { Pending, Reading, Done, Taken };
    struct Slot {
        State state = State::Pending;
        std::optional<ReadFolder> folder;
    };
    Fd fd;
    NameList names;
    std::string path;  // the folder's, from the top of the walk, where the rules need paths
    std::vector<Slot> items;
    std::size_t next = 0;      // the first slot not started
    std::size_t inFlight = 0;  // items being read
    bool cancelled = false;
};

// A bounded pool of reader threads that open and read folders ahead of one walk, each one's
// subfolders in turn, deepest group first so that the folders the walk needs next come
// first. The walk asks for a slot's folder when it enters it: it waits while a reader has
// it, and reads it itself when none has started it, so the walk never waits for room in the
// window. The window is bounded in folders, in bytes of names and in descriptors. Threads
// start with the first group and are joined when the object goes, which the walk engine
// that owns it does when its own owner (a scan, a content listing, a log save) is done.
class ReadAhead {
public:
    ReadAhead(unsigned threads, const ListingOptions& options);
    const ListingOptions& options() const { return options_; }
    unsigned threads() const { return threadCount_; }
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // A group for the subfolders names[first, first + count) of the folder open at `fd`;
    // nullptr when the descriptor budget has no room for it (the walk then reads serially).
    // `path` is the folder's path from the top of the walk, for rules that need paths.
    std::shared_ptr<ReadGroup> plan(int fd, const NameList& names, std::size_t first,
                                    std::size_t count, std::string path = {});
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
    // Reads slot `i` of `group` (marked Reading by the caller, with the lock not held).
    ReadFolder readSlot(ReadGroup& group, std::size_t i, DirReader& reader);
    void finish(ReadGroup& group, std::size_t i, ReadFolder folder);
    // The lock is held by every function below.
    ReadGroup::Slot& ready(std::unique_lock<std::mutex>& lock, ReadGroup& group, std::size_t i);
    void start(ReadGroup& group, std::size_t i);
    std::shared_ptr<ReadGroup> nextWork();
    bool roomForMore(std::size_t folders = 0) const;
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
    std::condition_variable work_;                   // readers wait here for work and room
    std::condition_variable done_;                   // the walk waits here for a slot being read
    std::vector<std::shared_ptr<ReadGroup>> stack_;  // groups with items not started, deepest last
    std::size_t held_ = 0;         // folders read or being read, not handed over yet
    std::size_t heldBytes_ = 0;    // bytes of names they hold
    std::size_t descriptors_ = 0;  // descriptors the read-ahead holds
    std::size_t maxHeld_, maxDescriptors_;
    bool stopping_ = false;
    std::size_t idle_ = 0;  // readers waiting for work
    // The slot the walk waits for, if any: only the reader that finishes it wakes the walk.
    const ReadGroup::Slot* awaited_ = nullptr;
    std::atomic<std::size_t> reads_{0}, opens_{0};
    DirReader ownReader_;  // for items the walk reads itself
    unsigned threadCount_;
    std::vector<std::thread> threads_;
};

}  // namespace voidbroom
