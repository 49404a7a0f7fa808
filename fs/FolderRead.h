#pragma once

#include <memory>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderIdentity.h"
#include "fs/FolderOpen.h"
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
    // Folders (by inode, on the walk's file system) that count as files holding data and are
    // never entered: the trashes, whose folders are not the user's to list again.
    std::shared_ptr<const std::vector<ino_t>> keepOut = nullptr;
    // The walk's file system's end of a listing (listingEndMarkOf), or kNoEndMark.
    std::int64_t endMark = kNoEndMark;
    // The device every folder entered must have (boundaryDeviceOf), or 0.
    dev_t device = 0;
    bool operator==(const ListingOptions&) const = default;

    // Takes the end mark and the device from the file system of the folder open at `fd`.
    void setFileSystemOf(int fd);
};

// One folder's listing.
struct FolderListing {
    int error = 0;          // errno of a listing that could not be read to its end, else 0
    std::size_t files = 0;  // entries that are not real folders: links, FIFOs, ... included
    FileLength filesLength = FileLength::Zero;  // with fileLengths: the first answer not Zero
    NameList fileNames;                         // with fileNames
    bool readable() const { return error == 0; }
};

// Opens the folder `name` in the open folder `parentFd` into `fd` (never through a link,
// never into another file system, nor, where `device` is not 0, onto another device); with
// `grant`, a folder its owner may not enter is opened after granting the owner's rights on
// it, and its rights are granted before it is read.
OpenOutcome openChild(int parentFd, const char* name, bool grant, dev_t device, Fd& fd);

// Reads the folder open at `fd` under `options`: its subfolders are appended to
// `subfolders`, everything else goes to `listing`.
void readFolder(DirReader& reader, int fd, const ListingOptions& options, FolderListing& listing,
                NameList& subfolders);

// Whether a real folder named `name` stands in `parentFd`, for one that could not be opened.
bool isFolderIn(int parentFd, const char* name);

}  // namespace voidbroom
