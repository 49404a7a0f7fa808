#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "fs/FolderPlace.h"
#include "fs/FolderWalk.h"
#include "fs/TrashCan.h"
#include "fs/ZeroSizeProbe.h"
#include "scan/Classification.h"
#include "scan/ResultEntry.h"
#include "scan/ScanHost.h"

namespace voidbroom {

// How a walk ended. Only the root can make it fail: below the root every failure is
// absorbed (the folder is skipped), and a stop is an ordinary end.
struct WalkResult {
    enum class Status { Done, RootMissing, RootFailed };
    Status status = Status::Done;
    std::string reason;  // why the root could not be opened
    bool done() const { return status == Status::Done; }
};

// What a walk cost, for the benchmark's figures.
struct WalkCounters {
    std::size_t foldersOpened = 0;
    std::size_t directoryReads = 0;  // getdents64 calls, the walk's and the size probe's
    std::size_t probeOpens = 0;      // folders opened again to answer a size question
    std::size_t opens = 0;           // folders opened in all, by the walk and its readers
    std::size_t sizesHeld = 0;       // size answers the probe holds for visits still to come
    std::size_t opensAhead = 0;      // of `opens`, those the reader threads made
};

// The depth-first, pre-order walk that classifies every folder below a root in one listing
// mode and reports entries to its host. It is a client of the walk engine, which opens and
// reads the folders; the walker decides what each one is. One walker can run any number of
// walks, one after the other.
class FolderWalker {
public:
    explicit FolderWalker(ScanHost& host, unsigned threads = kDefaultReadAheadThreads);

    // Walks the folder at `rootPath` (a root path, ending in "/") and everything below it,
    // listing folders as mode `scanMode` (0, 1 or 2) says.
    WalkResult ScanFolder(const std::string& rootPath, int scanMode);
    // Walks the folder `root`, opened already; its path is `root.path`.
    WalkResult ScanFolder(const WalkRoot& root, int scanMode);
    // Reader threads that read folders ahead of the walk (1: none); the entries, their order,
    // the captions and the yields are the same for every count on a tree that does not change.
    // The readers are engaged while folders are slow to read (see FolderWalk::setThreads).
    void setThreads(unsigned threads,
                    std::chrono::nanoseconds engageAbove = kEngageReadAheadAbove) {
        walk_.setThreads(threads, engageAbove);
    }

    WalkCounters counters() const;

    // Whose trashes the walk keeps out of the list: the user's own by default.
    void setTrashPlaces(TrashPlaces places) { places_ = std::move(places); }

    // The user's cleanup rules for the walks from now on: names that are junk, to keep or
    // excluded (see NameRules; null for none), and, when given, the time (nanoseconds since
    // the epoch) from which a modification makes a folder too recent to list: a folder is
    // listed only when neither it nor anything below it was modified since.
    void setRules(std::shared_ptr<const NameRules> rules,
                  std::optional<std::int64_t> recentFrom = std::nullopt) {
        rules_ = std::move(rules);
        aged_ = recentFrom.has_value();
        cutoff_ = recentFrom.value_or(0);
    }

private:
    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
    // What the walker keeps of each open level of the engine.
    struct Frame {
        // In mode 2, Zero while nothing found below says otherwise; NotZero, unread, for a
        // folder with files whose size nothing above waits for.
        SizeAnswer size;
        std::size_t slot;     // queue_ slot of the folder's entry while its size is undecided
        std::int64_t newest;  // with an age: the newest time in it and below, so far
        std::size_t ageSlot;  // queue_ slot of its entry while its age is undecided
    };
    // Entries wait here, in walk order, behind an entry whose folder's size or age is
    // undecided.
    struct Queued {
        enum class State { Ready, Waiting, Dropped };
        ResultEntry entry;
        State state;    // of its size
        bool ageWaits;  // for the folder to be left, when everything below it is known
    };

    void visitNext();
    // Classifies the folder the engine read last (its path is walk_.path()); descends into
    // it when the listing rule says so. `known` is its size where the probe already knows it.
    void examine(std::optional<ZeroSizeProbe::Known> known);
    SizeAnswer sizeOfListed(std::optional<ZeroSizeProbe::Known> known, bool& undecided,
                            std::int64_t& newest);
    bool sizeAwaited() const;
    void leave();

    // A folder below every open frame is not zero-size: neither is any of them.
    void markNotZero(SizeAnswer answer);
    void deliver(ResultEntry entry);
    std::size_t hold(ResultEntry entry, bool sizeWaits, bool ageWaits);
    void settle(std::size_t slot, bool keep);
    void settleAge(std::size_t slot, bool keep);
    void flush();
    // Takes a time found in a folder not entered into the innermost open folder's newest.
    void noteNewest(std::int64_t time);

    WalkResult walkFrom(OpenedFolder root, const std::string& rootPath, int scanMode);
    void keepTrashesOut(int rootFd);

    ScanHost& host_;
    TrashPlaces places_ = TrashPlaces::ofThisUser();
    int mode_ = 0;
    std::shared_ptr<const NameRules> rules_;
    bool aged_ = false;
    std::int64_t cutoff_ = 0;
    FolderWalk walk_;
    ZeroSizeProbe probe_;
    std::vector<Frame> frames_;
    std::vector<Queued> queue_;
    std::size_t queueHead_ = 0;
    std::size_t foldersOpened_ = 0;
};

}  // namespace voidbroom
