#include "fs/FolderRead.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace voidbroom {
namespace {
bool keptOut(const ListingOptions& options, ino_t inode) {
    if (!options.keepOut) return false;
    for (const ino_t kept : *options.keepOut)
        if (kept == inode) return true;
    return false;
}
}  // namespace

void ListingOptions::setFileSystemOf(int fd) {
    endMark = listingEndMarkOf(fd);
    device = boundaryDeviceOf(fd);
}

OpenOutcome openChild(int parentFd, const char* name, bool grant, dev_t device, Fd& fd) {
    OpenedFolder child = openChildFolder(parentFd, name, device);
    if (grant && child.status == OpenStatus::Failed && child.error == EACCES &&
        grantOwnerRights(parentFd, name, device))
        child = openChildFolder(parentFd, name, device);
    fd = std::move(child.fd);
    // Before it is read: a folder its owner may not search cannot tell its files' lengths.
    if (grant && fd) grantOwnerRights(fd.get());
    return child.outcome();
}

void readFolder(DirReader& reader, int fd, const ListingOptions& options, FolderListing& listing,
                NameList& subfolders) {
    listing.files = 0;
    listing.filesLength = FileLength::Zero;
    listing.fileNames.clear();
    const auto visit = [&](const DirEntry& entry) {
        if (entry.isFolder && !keptOut(options, entry.inode)) {
            subfolders.add(entry.name, entry.inode);
            return true;
        }
        ++listing.files;
        if (entry.isFolder) {  // kept out: it counts as data
            if (options.fileLengths && listing.filesLength == FileLength::Zero)
                listing.filesLength = FileLength::NotZero;
            return !(options.stopAtData && options.fileLengths);
        }
        if (options.fileNames) listing.fileNames.add(entry.name, entry.inode);
        if (options.fileLengths && listing.filesLength == FileLength::Zero) {
            listing.filesLength = DirReader::lengthOf(fd, entry.name.data());
            if (options.stopAtData && listing.filesLength != FileLength::Zero) return false;
        }
        return true;
    };
    listing.error = reader.forEach(fd, visit, options.endMark);
}

bool isFolderIn(int parentFd, const char* name) {
    struct stat st;
    return fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace voidbroom
