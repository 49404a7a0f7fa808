#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/FolderIdentity.h"
#include "fs/FolderWalk.h"

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
};

// Deletes a folder with everything below it that its DeleteRule allows, with force: every
// folder inside it is made readable, writable and searchable for its owner before anything
// in it is removed, as far as the user's rights allow. A client of the walk engine: every
// step works relative to a descriptor it holds, so it never follows a symbolic link (a link
// inside is removed as a link), never enters another file system (a mount point inside makes
// the deletion fail there, with nothing of the other file system touched), and has no depth
// limit. Names are read before anything is removed, and folders go after what they hold.
// Before anything is removed, the folder must still pass its DeleteCheck. Throws FsError
// naming the path and the reason when the folder cannot be deleted; what was removed before
// the failure stays removed.
class FolderDeleter {
public:
    FolderDeleter();

    // Called before each folder below the deleted one is entered, with its path: a seam for
    // tests that change the tree in the middle of a deletion.
    std::function<void(const std::string& path)> beforeEnter;

    // With `force` false, nothing is made writable.
    void deleteFolder(const std::string& path, const DeleteCheck& check, bool force = true);

private:
    void checkStillListed(const DeleteCheck& check);
    // Removes the files of the folder the walk read last and descends into it.
    void empty(int attempts);
    void enterNext();
    // Every folder below the innermost level is gone: the folder itself goes.
    void leave();
    // Removes the file `name` of the folder `fd`, whose path is `folder`.
    void removeFile(int fd, const char* name, const std::string& folder);
    // The file may go under the rule; throws when it holds data it may not lose.
    void checkRemovable(int fd, const char* name, const std::string& folder);
    [[noreturn]] void fail(const std::string& reason) const;

    FolderWalk walk_;
    std::vector<int> attempts_;  // how often each open level has been emptied
    DeleteRule rule_ = DeleteRule::Everything;
};

}  // namespace voidbroom
