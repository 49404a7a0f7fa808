#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderStack.h"
#include "fs/PendingFolders.h"
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
};

// The depth-first, pre-order walk that classifies every folder below a root and reports
// entries to its host. Folders are visited from an explicit stack, so depth has no limit;
// every folder is opened relative to its parent and never through a link or into another
// file system. One walker can run any number of walks, one after the other.
class FolderWalker {
public:
    explicit FolderWalker(ScanHost& host);

    // Walks the folder at `rootPath` (a root path, ending in "/") and everything below it.
    WalkResult ScanFolder(const std::string& rootPath);

    WalkCounters counters() const;

private:
    static constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
    struct Frame {
        std::size_t first;  // this folder's subfolders are pending_[first, end)
        std::size_t next;
        std::size_t end;
        std::size_t pathLength;
        SizeAnswer size;   // in mode 2, Zero while nothing found below says otherwise
        std::size_t slot;  // queue_ slot of the folder's entry while its size is undecided
    };
    // Entries wait here, in walk order, behind an entry whose folder's size is undecided.
    struct Queued {
        enum class State { Ready, Waiting, Dropped };
        ResultEntry entry;
        State state;
    };
    struct Listed {
        bool readable = true;
        std::size_t files = 0;
        FileLength filesLength = FileLength::Zero;  // worst of the files, when asked for
    };

    void visitNext(Frame& frame);
    // Reads and classifies the open folder whose path is path_; descends by pushing it.
    void examine(Fd fd, std::string_view name, ino_t inode, bool isRoot);
    Listed readListing(int fd, bool wantLengths);
    SizeAnswer probeSubfolders(int fd, std::size_t firstSub);
    void leave();

    // A folder below every open frame is not zero-size: neither is any of them.
    void markNotZero(SizeAnswer answer);
    void deliver(ResultEntry entry);
    std::size_t hold(ResultEntry entry);
    void settle(std::size_t slot, bool keep);

    ScanHost& host_;
    DirReader reader_;
    ZeroSizeProbe probe_;
    FolderStack stack_;
    std::vector<Frame> frames_;
    PendingFolders pending_;
    std::string name_;
    std::string path_;
    std::vector<Queued> queue_;
    std::size_t queueHead_ = 0;
    std::size_t foldersOpened_ = 0;
};

}  // namespace voidbroom
