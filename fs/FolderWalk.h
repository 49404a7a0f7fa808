#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderOpen.h"
#include "fs/FolderStack.h"
#include "fs/NameList.h"

namespace voidbroom {

// What a walk reads of each folder besides its subfolders.
struct ListingOptions {
    bool fileNames = false;    // keep the files' names, in the file system's order
    bool fileLengths = false;  // tell whether the files hold data, looking only until one does
    bool stopAtData = false;   // with fileLengths: stop reading at the first file with data
    // Give the owner read, write and search rights on every folder entered below the starting
    // one before it is read (a deletion with force); the starting folder is left as it is.
    bool grantOwnerRights = false;
};

// One folder as the walk read it.
struct FolderListing {
    int error = 0;          // errno of a listing that could not be read to its end, else 0
    std::size_t files = 0;  // entries that are not real folders: links, FIFOs, ... included
    FileLength filesLength = FileLength::Zero;  // with fileLengths: the first answer not Zero
    NameList fileNames;                         // with fileNames
    bool readable() const { return error == 0; }
};

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
class FolderWalk {
public:
    explicit FolderWalk(ListingOptions options = {}, std::size_t maxOpen = 64);

    ListingOptions& options() { return options_; }

    // Starts at the folder at `path` and reads it.
    OpenOutcome start(const std::string& path, FollowLinks follow);
    // Starts at the folder `name` of the open folder `parentFd`, which the caller keeps open
    // for the walk; `path` is the folder's path, for messages.
    OpenOutcome startAt(int parentFd, std::string_view name, const std::string& path);
    void clear();

    // The folder read last.
    int folderFd() const { return current_.get(); }
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
    // Gives up the subfolders of the innermost level not taken yet.
    void abandonLevel() { levels_.back().next = levels_.back().end; }
    // Closes the innermost level; path() is its path, until the next take().
    void leave();
    // Opens the folder left last again (one that filled up while it was emptied).
    OpenOutcome enterAgain();

    // getdents64 calls and folder opens so far, for the benchmark's figures.
    std::size_t reads() const { return reader_.reads(); }
    std::size_t opens() const { return opens_; }

private:
    struct Level {
        std::size_t first;  // its subfolders are subfolders_[first, end)
        std::size_t next;
        std::size_t end;
        std::size_t pathLength;
    };

    OpenOutcome open(int parentFd, bool grant);
    void read();

    ListingOptions options_;
    DirReader reader_;
    FolderStack stack_;
    std::vector<Level> levels_;
    NameList subfolders_;
    Fd current_;
    FolderListing listing_;
    std::size_t currentFirst_ = 0;
    std::string path_;
    std::string taken_;
    ino_t takenInode_ = 0;
    std::size_t opens_ = 0;
};

}  // namespace voidbroom
