#include "fs/FolderTrasher.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "fs/FsError.h"
#include "fs/Paths.h"
#include "fs/RuleCheck.h"
#include "fs/TrashInfo.h"

namespace voidbroom {
namespace {
constexpr int kMaxNames = 10000;
constexpr const char* kChanged =
    "it is not what the scan listed any more: something was put in it, or it was replaced";

bool sameFolder(int parentFd, const char* name, const FolderIdentity& folder) {
    struct stat st;
    return fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
           st.st_dev == folder.device && st.st_ino == folder.inode;
}

unsigned long long bytesOfFiles(const FolderWalk& walk) {
    unsigned long long bytes = 0;
    const NameList& files = walk.listing().fileNames;
    struct stat st;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (fstatat(walk.folderFd(), files.c_str(i), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            bytes += static_cast<unsigned long long>(st.st_size);
    return bytes;
}

// The bytes of every file below the folder the walk started at, for the trash's size cache.
unsigned long long bytesBelow(FolderWalk& walk) {
    unsigned long long bytes = bytesOfFiles(walk);
    walk.descend();
    while (!walk.done()) {
        if (!walk.take()) {
            walk.leave();
            continue;
        }
        if (!walk.enter().opened()) continue;
        bytes += bytesOfFiles(walk);
        walk.descend();
    }
    return bytes;
}
}  // namespace

FolderTrasher::FolderTrasher(TrashPlaces places)
    : places_(std::move(places)), walk_(ListingOptions{.fileNames = true, .fileLengths = true}) {}

void FolderTrasher::fail(const std::string& reason) const {
    throw FsError(path_, reason);
}

TrashedFolder FolderTrasher::moveToTrash(const FolderPlace& place, const DeleteCheck& check) {
    path_ = place.path;
    topLength_ = place.topLength == std::string::npos ? place.path.size() : place.topLength;
    const std::string& name = place.name;
    const int parentFd = place.parent.get();
    walk_.options().rules = check.names;
    const ChangeWalk folder(walk_, parentFd, name, path_, topLength_);
    if (!folder.failure.empty()) fail(folder.failure);
    if (check.folder == FolderIdentity{}) fail("the scan did not record which folder it was");
    if (!stillListed(parentFd, name, check)) fail(kChanged);
    if (check.hasRules()) {
        // The folder goes whole: under rules, nothing in it may be one to keep, or recent.
        FolderWalk scout;
        const std::string why = whyNotRemovedWhole(scout, parentFd, name, path_, topLength_,
                                                   check.names, check.recentFrom);
        if (!why.empty()) fail("it stays: " + why);
    }

    std::string realPath;
    TrashCan can = trashFor(place, check.folder.device, places_, realPath);
    const std::string info = trashInfoText(can.pathInInfo(realPath), std::time(nullptr));
    for (int attempt = 1; attempt <= kMaxNames; ++attempt) {
        const std::string trashed = trashNameFor(name, attempt);
        const std::string infoName = trashed + ".trashinfo";
        Fd infoFd(openat(can.info.get(), infoName.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!infoFd && errno == EEXIST) continue;
        if (!infoFd)
            fail("its trash entry cannot be made in " + can.path + ": " + std::strerror(errno));
        const auto dropInfo = [&] { unlinkat(can.info.get(), infoName.c_str(), 0); };
        if (!writeAll(infoFd.get(), info) || fsync(infoFd.get()) != 0) {
            const int error = errno;
            dropInfo();
            fail("its trash entry cannot be written in " + can.path + ": " + std::strerror(error));
        }
        if (beforeMove) beforeMove();
        if (!stillListed(parentFd, name, check)) {
            dropInfo();
            fail(kChanged);
        }
        if (renameat2(parentFd, name.c_str(), can.files.get(), trashed.c_str(), RENAME_NOREPLACE) !=
            0) {
            const int error = errno;
            dropInfo();
            if (error == EEXIST || error == ENOTEMPTY) continue;
            // The trash is on the folder's device: the file system refuses the move itself.
            fail("it cannot be moved to " + can.path + ": " +
                 (error == EXDEV ? "its file system cannot move it there (the trash is on "
                                   "another mount of it, or the folder is in an overlay's "
                                   "lower layer)"
                                 : std::strerror(error)));
        }
        // Whatever moved must be the folder that passed the checks, and still pass them.
        if (!stillListed(can.files.get(), trashed, check)) {
            if (renameat2(can.files.get(), trashed.c_str(), parentFd, name.c_str(),
                          RENAME_NOREPLACE) == 0) {
                dropInfo();
                fail(kChanged + std::string("; it was left where it was"));
            }
            fail(kChanged + std::string("; it is in the trash as ") + trashed);
        }
        noteSize(can, trashed, infoFd.get());
        return {can.path, trashed};
    }
    fail("every name for it in " + can.path + " is taken");
}

bool FolderTrasher::stillListed(int parentFd, const std::string& name, const DeleteCheck& check) {
    // Read afresh: what was read before may have changed since (a check comes before the
    // trash entry is made, and again after the move).
    if (check.rule == DeleteRule::ZeroLengthOnly &&
        !walk_.startAt(parentFd, name, path_, topLength_).opened())
        return false;
    if (!isSameFolder(walk_.folderFd(), check.folder)) return false;
    if (!sameFolder(parentFd, name.c_str(), check.folder)) return false;
    switch (check.rule) {
        case DeleteRule::EmptyOnly: {
            DirReader reader;
            bool empty = true;
            // Read from the start again: the walk read this folder to its end already.
            if (lseek(walk_.folderFd(), 0, SEEK_SET) != 0) return false;
            // Junk files go with the folder, and do not make it hold anything.
            const int error = reader.forEach(walk_.folderFd(), [&](const DirEntry& entry) {
                empty = check.names && !entry.isFolder &&
                        check.names->roleOf(entry.name, false) == NameRole::Junk;
                return empty;
            });
            return error == 0 && empty;
        }
        case DeleteRule::ZeroLengthOnly:
            probe_.forget();
            return probe_.sizeOfCurrent(walk_) == SizeAnswer::Zero;
        case DeleteRule::Everything:
            break;
    }
    return true;
}

// Where the trash keeps its size cache, the moved folder's line is added to it, by a new
// file renamed over the old one; a cache that cannot be updated is only a stale cache.
void FolderTrasher::noteSize(TrashCan& can, const std::string& trashed, int infoFd) {
    const int trashFd = can.folder.get();
    Fd old(openat(trashFd, "directorysizes", O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!old) return;
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(old.get(), buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    if (!text.empty() && text.back() != '\n') text += '\n';
    struct stat st;
    if (fstat(infoFd, &st) != 0) return;
    const unsigned long long bytes =
        walk_.listing().fileNames.size() || walk_.subfolderCount() ? bytesBelow(walk_) : 0;
    text += std::to_string(bytes) + " " + std::to_string(st.st_mtime) + " " +
            percentEncoded(trashed) + "\n";
    const std::string temporary = "directorysizes." + std::to_string(getpid());
    Fd fresh(openat(trashFd, temporary.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fresh) return;
    if (writeAll(fresh.get(), text) && fsync(fresh.get()) == 0 &&
        renameat(trashFd, temporary.c_str(), trashFd, "directorysizes") == 0)
        return;
    unlinkat(trashFd, temporary.c_str(), 0);
}

}  // namespace voidbroom
