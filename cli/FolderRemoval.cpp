#include "cli/FolderRemoval.h"

namespace voidbroom {

FolderTreatment deletionWith(FolderDeleter& deleter, const WalkRoot& root) {
    return {"delete", [&deleter, &root](const ResultEntry& entry) {
                deleter.deleteFolder(placeBelow(root, entry.path), deleteCheckFor(entry),
                                     /*force=*/true);
            }};
}

FolderTreatment trashingWith(FolderTrasher& trasher, const WalkRoot& root) {
    return {"trash", [&trasher, &root](const ResultEntry& entry) {
                trasher.moveToTrash(placeBelow(root, entry.path), deleteCheckFor(entry));
            }};
}

}  // namespace voidbroom
