#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <memory>
#include <optional>

#include "fs/FolderRead.h"
#include "fs/FolderStack.h"
#include "fs/ReadAhead.h"

namespace voidbroom {

// The one walk engine: a depth-first walk over a folder tree from open descriptors, for every
// walk of the program (the scan, the size question, the content listing, the deletion). It
// hands its client the next folder, opened, with its listing; the client decides what the
// folder is and whether to descend into it. Every folder is opened relative to its parent's
// descriptor, never through a symbolic link and never into another file system. The open
// levels live on an explicit stack within a descriptor budget (FolderStack), so neither depth
// nor path length is limited.
//
// A walk goes: start() or startAt() makes the starting folder current; descend() makes the
// current folder an open level whose subfolders are taken next; take() takes the next
// subfolder of the innermost level (false when there is none: leave() it), and enter() opens
// and reads the subfolder taken, which becomes current. A current folder not descended into
// is let go at the next take().
//
// With more than one thread, reader threads open and read the folders ahead of the client,
// in the order it will enter them (ReadAhead); what the client sees is the same, but for
// changes made to the tree after a folder was read and before it is entered.
class FolderWalk {
public:
    explicit FolderWalk(ListingOptions options = {}, std::size_t maxOpen = 64);
    ~FolderWalk();

    ListingOptions& options() { return options_; }
    const ListingOptions& options() const { return options_; }
    // Reader threads for the walks started from now on; 1 reads every folder when entered.
    // The readers are engaged while a folder takes longer than `engageAbove` to open and
    // read, on average (0: from the start).
    void setThreads(unsigned threads,
                    std::chrono::nanoseconds engageAbove = kEngageReadAheadAbove) {
        threads_ = threads;
        engageAbove_ = engageAbove;
    }
    // Whether the readers read the folders of new levels ahead at the moment.
    bool readingAhead() const { return engaged_; }

    // Starts at the folder at `path` and reads it.
    OpenOutcome start(const std::string& path, FollowLinks follow);
    // Starts at the open folder `folder`, whose path is `path`, and reads it.
    OpenOutcome start(Fd folder, const std::string& path);
    // Starts at the folder `name` of the open folder `parentFd`, which the caller keeps open
    // for the walk; `path` is the folder's path, for messages. The options hold as they are,
    // the end-of-listing mark included: its caller sets the mark of `parentFd`'s file system,
    // or leaves none. The first `topLength` bytes of `path` name the top of the walk that
    // the rules' path patterns start from (by default, the whole path).
    OpenOutcome startAt(int parentFd, std::string_view name, const std::string& path,
                        std::size_t topLength = std::string::npos);
    void clear();

    // The folder read last. Its descriptor is -1 for one read ahead without subfolders.
    int folderFd() const { return current_.get(); }
    FolderIdentity identity() const;
    const FolderListing& listing() const { return listing_; }
    std::size_t subfolderCount() const { return subfolders_.size() - currentFirst_; }
    std::string_view subfolderName(std::size_t i) const {
        return subfolders_.name(currentFirst_ + i);
    }
    ino_t subfolderInode(std::size_t i) const { return subfolders_.inode(currentFirst_ + i); }
    // The path of the folder taken, entered or left last.
    const std::string& path() const { return path_; }

    void descend();
    bool done() const { return levels_.empty(); }
    std::size_t depth() const { return levels_.size(); }
    // Descriptor of the innermost level (after the last leave(), the starting folder's parent
    // given to startAt()); -1 when it was lost, moved away while the walk was below it.
    int levelFd() const { return stack_.empty() ? -1 : stack_.top(); }

    bool take();
    std::string_view takenName() const { return taken_; }
    ino_t takenInode() const { return takenInode_; }
    OpenOutcome enter();
    // After an enter() that did not open the folder: whether a real folder stands there.
    bool takenIsFolder() const;
    // Gives up the subfolders of the innermost level not taken yet.
    void abandonLevel();
    // Closes the innermost level; path() is its path, until the next take().
    void leave();
    // Opens the folder left last again (one that filled up while it was emptied).
    OpenOutcome enterAgain();

    // A look below folders the walk has not entered yet, for a question about their content
    // (the size question): it runs on this walk's own stack, readers and descriptor budget,
    // with take(), enter(), descend() and leave() as usual, files' lengths read until one
    // holds data. lookBelowCurrent() makes the subfolders of the folder read last the look's
    // first level; lookAtSubfolder(i) only its subfolder i; lookAtTaken() the subfolder
    // taken last, not entered. take() answers false when the first level is done; endLook()
    // then, or at any point, puts the walk back where it was. What readers read ahead for
    // the look stays for the walk to enter, save below a folder the look walked to its end
    // (left with leave()), which the walk will not enter.
    void lookBelowCurrent();
    void lookAtSubfolder(std::size_t i);
    void lookAtTaken();
    void endLook();

    // getdents64 calls and folder opens so far, for the benchmark's figures.
    std::size_t reads() const;
    std::size_t opens() const;
    // Of those, the folders opened again by looks, to answer a question about their content.
    std::size_t lookOpens() const { return lookOpens_; }
    // Of those, the folders its reader threads opened ahead of it.
    std::size_t opensAhead() const;

private:
    struct Level {
        std::size_t first;  // its subfolders are subfolders_[first, end)
        std::size_t next;
        std::size_t end;
        std::size_t pathLength;
        std::shared_ptr<ReadGroup> group;  // with read-ahead: slot k is subfolder slotBase + k
        std::size_t slotBase;
        bool onStack = true;     // false for a look at the walk's innermost level
        bool groupLent = false;  // the group is the walk's, lent to a look: it stays
    };
    // What a look puts aside of the walk, to give it back at its end.
    struct LookMark {
        std::size_t levels, subfolders;
        Fd current;
        FolderListing listing;
        std::size_t currentFirst;
        std::shared_ptr<ReadGroup> currentGroup;
        bool currentGroupLent;
        std::optional<FolderIdentity> identity;
        std::string path, taken;
        ino_t takenInode;
        bool takenSeenAsFolder;
        ListingOptions options;
    };

    void prepareReadAhead();
    OpenOutcome open(int parentFd, bool grant);
    void read();
    OpenOutcome adopt(ReadFolder folder);
    // A folder read ahead for a look: the walk takes it later, so it is copied.
    OpenOutcome adoptLooked(const ReadFolder& folder);
    std::shared_ptr<ReadGroup> currentGroup();
    void planOpenLevels();
    std::size_t takenSlot() const { return levels_.back().next - 1 - levels_.back().slotBase; }
    void dropCurrentGroup();
    // The current path from the top of the walk, or its first `length` bytes, where the rules
    // need paths; else "".
    std::string_view pathFromTop(std::size_t length = std::string::npos) const;
    void beginLook();
    // A look's first level: one subfolder, `name`, slot `slot` of `group`.
    void lookAtOne(std::string name, ino_t inode, std::shared_ptr<ReadGroup> group,
                   std::size_t slot, std::size_t pathLength, bool onStack);
    // Takes the time a folder took to open and read into the average that engages the readers.
    void notePace(std::chrono::nanoseconds took);
    void startPaceWindow();
    // Whether the walk's thread spent most of the time it opened and read folders since the
    // pace window started waiting rather than working, and slept for at least one folder in
    // four: a thread that never slept was only slowed by others sharing the processor.
    bool mostlyWaited() const;
    static constexpr unsigned kPaceWindowFolders = 256;

    ListingOptions options_;
    DirReader reader_;
    FolderStack stack_;
    std::vector<Level> levels_;
    NameList subfolders_;
    Fd current_;
    FolderListing listing_;
    std::size_t currentFirst_ = 0;
    std::string path_;
    std::size_t topLength_ = 0;  // of path_, the top of the walk
    std::string taken_;
    ino_t takenInode_ = 0;
    std::size_t opens_ = 0;
    unsigned threads_ = 1;  // asked for
    std::unique_ptr<ReadAhead> readAhead_;
    std::shared_ptr<ReadGroup> currentGroup_;  // the current folder's subfolders, read ahead
    bool currentGroupLent_ = false;            // read ahead for the walk, looked at by a look
    std::optional<LookMark> look_;
    std::size_t lookOpens_ = 0;
    std::optional<FolderIdentity> currentIdentity_;
    bool takenSeenAsFolder_ = false;
    std::chrono::nanoseconds engageAbove_ = kEngageReadAheadAbove;
    double pace_ = 0;                                // nanoseconds per folder, a moving average
    bool engaged_ = false;                           // whether new levels are read ahead
    bool openLevelsUnplanned_ = false;               // engaged below levels read serially
    std::chrono::nanoseconds paceWindowOpening_{0};  // time spent opening and reading
    std::chrono::nanoseconds paceWindowCpu_{0};
    long paceWindowSleeps_ = 0;
    unsigned paceWindowFolders_ = 0;
};

// For a change to one folder (a deletion, a move to the trash): the walk of that folder,
// started at `name` in `parentFd`, on the file system of `parentFd`, and cleared when the
// change is over. `failure` says why
// the folder could not be opened, and is empty when it was.
class ChangeWalk {
public:
    ChangeWalk(FolderWalk& walk, int parentFd, const std::string& name, const std::string& path,
               std::size_t topLength = std::string::npos);
    ~ChangeWalk();
    ChangeWalk(const ChangeWalk&) = delete;
    ChangeWalk& operator=(const ChangeWalk&) = delete;

    std::string failure;

private:
    FolderWalk& walk_;
};

}  // namespace voidbroom
