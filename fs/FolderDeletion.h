#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderIdentity.h"
#include "fs/FolderOpen.h"
#include "fs/FolderStack.h"

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
// in it is removed, as far as the user's rights allow. Every step works relative to a
// descriptor the deleter holds: it never follows a symbolic link (a link inside is removed
// as a link), never enters another file system (a mount point inside makes the deletion
// fail there, with nothing of the other file system touched), and has no depth limit.
// Before anything is removed, the folder must still pass its DeleteCheck. Throws FsError
// naming the path and the reason when the folder cannot be deleted; what was removed
// before the failure stays removed.
class FolderDeleter {
public:
    // Called before each folder below the deleted one is entered, with its path: a seam for
    // tests that change the tree in the middle of a deletion.
    std::function<void(const std::string& path)> beforeEnter;

    // With `force` false, nothing is made writable.
    void deleteFolder(const std::string& path, const DeleteCheck& check, bool force = true);

private:
    struct Frame {
        std::string name;
        std::size_t first;  // its subfolders are names_[first, end) of subs_
        std::size_t next;
        std::size_t end;
        std::size_t pathLength;
        int attempts;
    };

    void checkStillListed(int fd, const std::string& path, const DeleteCheck& check);
    // Removes the files of the open folder `fd` (path_) and makes it the top of the walk.
    void enter(Fd fd, const std::string& name, int attempts);
    void enterNext(Frame& frame);
    void leave();
    // Opens a subfolder for deleting; with force, one its owner may not read is opened after
    // granting the owner's rights on it.
    OpenedFolder openChild(int fd, const char* name);
    void removeFile(int fd, const char* name);
    // The file `name` in `fd` may go under the rule; throws when it holds data it may not lose.
    void checkRemovable(int fd, const char* name);
    [[noreturn]] void fail(const std::string& reason) const;

    DirReader reader_;
    FolderStack stack_;
    std::vector<Frame> frames_;
    std::vector<std::string> subs_;
    std::string path_;
    bool force_ = true;
    DeleteRule rule_ = DeleteRule::Everything;
};

}  // namespace voidbroom
