#include "fs/FolderRead.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>

#include "fs/FileTime.h"

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
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0) {  // as for any file system that cannot be asked
        endMark = kNoEndMark;
        device = 0;
        lengthsFromLookup = false;
        return;
    }
    const auto type = static_cast<unsigned long>(fs.f_type);
    endMark = listingEndMarkOfType(type);
    device = boundaryDeviceOf(fd, type);
    lengthsFromLookup = type == FUSE_SUPER_MAGIC;
}

FileLength lengthOfFiles(int fd, const NameList& names, bool fromLookup) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (const FileLength length = DirReader::lengthOf(fd, names.c_str(i), fromLookup);
            length != FileLength::Zero)
            return length;
    return FileLength::Zero;
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

namespace {

// The folder read under the user's rules, or with times: each entry's role decides how it
// counts, and a file's length and time come from one look at it.
void readFolderByRules(DirReader& reader, int fd, const ListingOptions& options,
                       std::string_view path, FolderListing& listing, NameList& subfolders) {
    const NameRules* rules = options.rules.get();
    struct stat st;
    listing.newest = options.times ? (fstat(fd, &st) == 0 ? modifiedAt(st) : kNeverRead) : 0;
    const auto noteFile = [&](const DirEntry& entry, bool junk) {
        const bool lengthWanted =
            !junk && options.fileLengths && listing.filesLength == FileLength::Zero;
        if (!options.times && !lengthWanted) return;
        if (fstatat(fd, entry.name.data(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (lengthWanted) listing.filesLength = FileLength::Unreadable;
            listing.newest = options.times ? kNeverRead : 0;
            return;
        }
        if (lengthWanted && st.st_size != 0) listing.filesLength = FileLength::NotZero;
        if (options.times) listing.newest = std::max(listing.newest, modifiedAt(st));
    };
    const auto visit = [&](const DirEntry& entry) {
        const NameRole role =
            rules ? rules->roleOf(entry.name, entry.isFolder, path) : NameRole::Plain;
        if (entry.isFolder && role == NameRole::Plain && !keptOut(options, entry.inode)) {
            subfolders.add(entry.name, entry.inode);
            return true;
        }
        if (options.fileNames) listing.fileNames.add(entry.name, entry.inode);
        if (role == NameRole::Junk) {
            ++listing.junkFiles;
            noteFile(entry, true);
            return true;
        }
        ++listing.files;
        if (entry.isFolder || role == NameRole::Kept) {  // content that stays: it counts as data
            if (role == NameRole::Kept) ++listing.kept;
            if (options.fileLengths && listing.filesLength == FileLength::Zero)
                listing.filesLength = FileLength::NotZero;
            return !(options.stopAtData && options.fileLengths);
        }
        noteFile(entry, false);
        return !(options.stopAtData && listing.filesLength != FileLength::Zero);
    };
    listing.error = reader.forEach(fd, visit, options.endMark);
}

// After a read that left the files' lengths: a folder without subfolders has nothing else to
// answer for it, and is asked now; one with subfolders keeps its files' names for the question.
void askLengthsLater(int fd, const ListingOptions& options, FolderListing& listing,
                     bool hasSubfolders) {
    const bool unanswered =
        listing.readable() && listing.filesLength == FileLength::Zero && !listing.fileNames.empty();
    if (unanswered && hasSubfolders) {
        listing.filesLength = FileLength::Unasked;
        return;
    }
    if (unanswered)
        listing.filesLength = lengthOfFiles(fd, listing.fileNames, options.lengthsFromLookup);
    if (!options.fileNames) listing.fileNames = NameList{};
}

}  // namespace

void readFolder(DirReader& reader, int fd, const ListingOptions& options, FolderListing& listing,
                NameList& subfolders, std::string_view path, bool ahead) {
    listing.files = 0;
    listing.filesLength = FileLength::Zero;
    listing.fileNames.clear();
    listing.junkFiles = 0;
    listing.kept = 0;
    if (options.rules || options.times)
        return readFolderByRules(reader, fd, options, path, listing, subfolders);
    const bool later = ahead && options.subfoldersFirst && options.fileLengths;
    const std::size_t subfoldersBefore = subfolders.size();
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
        if (options.fileNames || later) listing.fileNames.add(entry.name, entry.inode);
        if (options.fileLengths && listing.filesLength == FileLength::Zero && !later) {
            listing.filesLength =
                DirReader::lengthOf(fd, entry.name.data(), options.lengthsFromLookup);
            if (options.stopAtData && listing.filesLength != FileLength::Zero) return false;
        }
        return true;
    };
    listing.error = reader.forEach(fd, visit, options.endMark);
    if (later) askLengthsLater(fd, options, listing, subfolders.size() > subfoldersBefore);
}

bool isFolderIn(int parentFd, const char* name) {
    struct stat st;
    return fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace voidbroom
