#pragma once

#include <functional>
#include <string>

#include "fs/FolderWalk.h"

namespace voidbroom {

// Called once before each subfolder of a content listing, and only there: a chance to handle
// pending events. Returns false to end the listing early (an ordinary end, not a failure).
using ContentYield = std::function<bool()>;

// Lists what a folder holds as text, the content block: per folder, one line
// "   File: " + name for each file, in the file system's order, then for each subfolder, in
// that order, "Folder: " + name followed by that subfolder's own block. Every line ends in
// CR LF; names are bare names with the bytes the file system holds. Links, FIFOs, sockets
// and devices are files and are never followed. The mount point of another file system is
// listed as a folder but not entered. A client of the walk engine, so neither depth nor path
// length is limited. One lister may list any number of folders, one after the other; it is
// not re-entrant (a listing started from a yield needs a lister of its own).
class FolderContentLister {
public:
    // With more than one thread, folders are read ahead of the listing
    // while folders are slow to read (see FolderWalk::setThreads).
    explicit FolderContentLister(unsigned threads = kDefaultReadAheadThreads,
                                 std::chrono::nanoseconds engageAbove = kEngageReadAheadAbove);

    // Appends the content block of the folder at `folderPath` to `ContentText`; never clears
    // it. Throws FsError naming the folder that could not be opened or read, and why; the
    // whole listing ends there, and the lines appended before the failure stay.
    void CollectFolderContent(const std::string& folderPath, std::string& ContentText,
                              const ContentYield& yield);

private:
    // Appends the files of the folder read last and descends into it when it has subfolders.
    void listFolder(std::string& text);

    FolderWalk walk_;
};

}  // namespace voidbroom
