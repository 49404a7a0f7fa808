#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fs/FolderIdentity.h"
#include "fs/FolderPlace.h"
#include "fs/FolderWalk.h"
#include "fs/NameRules.h"

namespace voidbroom {

// What a deletion may remove below the folder, by what the folder was listed for.
enum class DeleteRule {
    EmptyOnly,       // a strictly empty folder: it must still be empty
    ZeroLengthOnly,  // a folder of total size 0: files with content stay, and stop the deletion
    Everything,      // a folder without files of its own: everything in it goes
};

// What a folder must still be for the program to delete it.
struct DeleteCheck {
    FolderIdentity folder;  // the folder that the scan listed
    DeleteRule rule = DeleteRule::EmptyOnly;
    // The scan's rules on names: junk files go with the folder (and only they may, in a
    // strictly empty one); an entry to keep or excluded stops the deletion before anything
    // is removed.
    std::shared_ptr<const NameRules> names = nullptr;
    // With an age: a modification from this time on (nanoseconds since the epoch), of the
    // folder or of anything below it, stops the deletion as well.
    std::optional<std::int64_t> recentFrom;

    bool hasRules() const { return (names && !names->empty()) || recentFrom.has_value(); }
};

// Deletes a folder with everything below it that its DeleteRule allows, with force: every
// folder inside it is made readable, writable and searchable for its owner before anything
// in it is removed, as far as the user's rights allow. A client of the walk engine: every
// step works relative to a descriptor it holds, so it never follows a symbolic link (a link
// inside is removed as a link), never enters another file system (a mount point inside makes
// the deletion fail there, with nothing of the other file system touched), and has no depth
// limit. Names are read before anything is removed, and folders go after what they hold.
// Before anything is removed, the folder must still pass its DeleteCheck. A file that may go
// only while it holds no data goes as what was checked: it is put aside under a private name,
// checked through a descriptor (the same file, still empty, open in no other program), and
// only then removed; one that fails is put back. Throws FsError naming the path and the
// reason when the folder cannot be deleted; what was removed before the failure stays removed.
class FolderDeleter {
public:
    FolderDeleter();

    // Called before each folder below the deleted one is entered, with its path: a seam for
    // tests that change the tree in the middle of a deletion.
    std::function<void(const std::string& path)> beforeEnter;

    // Called before each file that may go only while empty is put aside, with its path: a
    // seam for tests that race a writer against the deletion.
    std::function<void(const std::string& path)> beforeFileRemoved;

    // Deletes the folder at `place`. With `force` false, nothing is made writable.
    void deleteFolder(const FolderPlace& place, const DeleteCheck& check, bool force = true);
    // Deletes the folder at the absolute `path`, on which no folder may be a link.
    void deleteFolder(const std::string& path, const DeleteCheck& check, bool force = true) {
        deleteFolder(placeOf(path), check, force);
    }

private:
    void checkStillListed(const DeleteCheck& check);
    // Removes the files of the folder the walk read last and descends into it.
    void empty(int attempts);
    void enterNext();
    // Every folder below the innermost level is gone: the folder itself goes.
    void leave();
    // Removes the file `name` of the folder `fd`, whose path is `folder`.
    void removeFile(int fd, const char* name, const std::string& folder);
    // Removes a file that may go only while it holds no data, as what was checked.
    void removeIfEmpty(int fd, const char* name, const std::string& folder);
    // Removes a junk file, still a regular file or a link.
    void removeJunk(int fd, const char* name, const std::string& folder);
    // Fails where a file is newer than the check's age allows.
    void checkAge(int fd, const char* name, const std::string& folder) const;
    void checkAge(const struct stat& st, const char* name, const std::string& folder) const;
    [[noreturn]] void fail(const std::string& reason) const;

    FolderWalk walk_;
    std::vector<int> attempts_;  // how often each open level has been emptied
    DeleteRule rule_ = DeleteRule::Everything;
    DeleteCheck check_;
    std::size_t topLength_ = 0;
    unsigned long asideCount_ = 0;  // for the private names files are put aside under
};

}  // namespace voidbroom
