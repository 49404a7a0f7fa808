#pragma once

#include <functional>
#include <string>

#include "fs/FolderDeleter.h"
#include "fs/FolderPlace.h"
#include "fs/FolderWalk.h"
#include "fs/TrashCan.h"
#include "fs/ZeroSizeProbe.h"

namespace voidbroom {

// Where a folder went in the trash.
struct TrashedFolder {
    std::string trash;  // the trash folder
    std::string name;   // its name in files/, and of its info file in info/ (plus .trashinfo)
};

// Moves folders to the trash as the freedesktop.org trash asks: an info file made first (its
// name taken with O_EXCL, another name when it is taken), then the folder moved into files/
// with one rename from the descriptors held on its parent and on files/, never copied and
// never across file systems. The folder must pass its DeleteCheck just before the move and
// still just after it; one that fails after it goes back where it was. Never deletes: a
// folder that cannot be moved stays, its info file is removed again, and FsError says why.
class FolderTrasher {
public:
    explicit FolderTrasher(TrashPlaces places = TrashPlaces::ofThisUser());

    // Called after the info file is written and before the folder is moved: a seam for tests
    // that change the tree in between.
    std::function<void()> beforeMove;

    TrashedFolder moveToTrash(const FolderPlace& place, const DeleteCheck& check);
    // Moves the folder at the absolute `path`, on which no folder may be a link.
    TrashedFolder moveToTrash(const std::string& path, const DeleteCheck& check) {
        return moveToTrash(placeOf(path), check);
    }

private:
    // Whether the folder open in the walk is still what it was listed for.
    bool stillListed(int parentFd, const std::string& name, const DeleteCheck& check);
    void noteSize(TrashCan& can, const std::string& trashedName, int infoFd);
    [[noreturn]] void fail(const std::string& reason) const;

    TrashPlaces places_;
    FolderWalk walk_;
    ZeroSizeProbe probe_;
    std::string path_;
    std::size_t topLength_ = 0;
};

}  // namespace voidbroom
