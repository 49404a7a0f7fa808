#pragma once

#include <limits>
#include <memory>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderIdentity.h"
#include "fs/FolderOpen.h"
#include "fs/NameList.h"
#include "fs/NameRules.h"

namespace voidbroom {

// What a walk reads of each folder besides its subfolders.
struct ListingOptions {
    bool fileNames = false;    // keep the files' names, in the file system's order
    bool fileLengths = false;  // tell whether the files hold data, looking only until one does
    bool stopAtData = false;   // with fileLengths: stop reading at the first file with data
    // With fileLengths, in the folders readers read ahead: a folder with subfolders leaves its
    // files' lengths unasked (FileLength::Unasked) and keeps their names, since the size
    // question asks its subfolders first, which the walk reads anyway, and one holding data
    // answers for it. Not with rules or times, whose reads look at every file.
    bool subfoldersFirst = false;
    // Give the owner read, write and search rights on every folder entered below the starting
    // one before it is read (a deletion with force); the starting folder is left as it is.
    bool grantOwnerRights = false;
    // Folders (by inode, on the walk's file system) that count as files holding data and are
    // never entered: the trashes, whose folders are not the user's to list again.
    std::shared_ptr<const std::vector<ino_t>> keepOut = nullptr;
    // The walk's file system's end of a listing (listingEndMarkOf), or kNoEndMark.
    std::int64_t endMark = kNoEndMark;
    // The device every folder entered must have (boundaryDeviceOf), or 0.
    dev_t device = 0;
    // Whether a file's length comes with looking its name up (DirReader::lengthOf): on a
    // user-space file system the lookup is a round trip that brings the attributes, and
    // asking for them again would be a second one.
    bool lengthsFromLookup = false;
    // The user's rules on names, or none: junk files count as absent, and entries to keep or
    // excluded count as data (see NameRules).
    std::shared_ptr<const NameRules> rules = nullptr;
    // Read the modification times of the folder and of its files (FolderListing::newest).
    bool times = false;
    bool operator==(const ListingOptions&) const = default;

    // Takes the end mark and the device from the file system of the folder open at `fd`.
    void setFileSystemOf(int fd);
};

// A modification time that is newer than any: what a time that could not be read counts as.
inline constexpr std::int64_t kNeverRead = std::numeric_limits<std::int64_t>::max();

// One folder's listing.
struct FolderListing {
    int error = 0;          // errno of a listing that could not be read to its end, else 0
    std::size_t files = 0;  // entries that are not real folders: links, FIFOs, ... included
    FileLength filesLength = FileLength::Zero;  // with fileLengths: the first answer not Zero
    // With fileNames, or with filesLength Unasked; junk files, entries to keep and excluded
    // ones too
    NameList fileNames;
    std::size_t junkFiles = 0;  // files that count as absent, not in `files`
    std::size_t kept = 0;       // entries to keep or excluded, in `files`
    // With times: the newest modification time, in nanoseconds since the epoch, of the folder
    // and of its files (junk included); kNeverRead where one could not be read.
    std::int64_t newest = 0;
    bool readable() const { return error == 0; }
};

// Opens the folder `name` in the open folder `parentFd` into `fd` (never through a link,
// never into another file system, nor, where `device` is not 0, onto another device); with
// `grant`, a folder its owner may not enter is opened after granting the owner's rights on
// it, and its rights are granted before it is read.
OpenOutcome openChild(int parentFd, const char* name, bool grant, dev_t device, Fd& fd);

// Reads the folder open at `fd` under `options`: its subfolders are appended to
// `subfolders`, everything else goes to `listing`. `path` is the folder's path from the top
// of the walk, which the rules need only when they hold path patterns. `ahead`: read by a
// reader ahead of the walk (see ListingOptions::subfoldersFirst).
void readFolder(DirReader& reader, int fd, const ListingOptions& options, FolderListing& listing,
                NameList& subfolders, std::string_view path = {}, bool ahead = false);

// The first answer not Zero among the files `names` of the folder open at `fd`, asked in
// order; Zero when every one is.
FileLength lengthOfFiles(int fd, const NameList& names, bool fromLookup);

// Whether a real folder named `name` stands in `parentFd`, for one that could not be opened.
bool isFolderIn(int parentFd, const char* name);

}  // namespace voidbroom
