#include "cli/FolderRemoval.h"

namespace voidbroom {
namespace {
DeleteCheck checkFor(const ResultEntry& entry, const DeleteCheck& rules) {
    DeleteCheck check = deleteCheckFor(entry);
    check.names = rules.names;
    check.recentFrom = rules.recentFrom;
    return check;
}
}  // namespace

FolderTreatment deletionWith(FolderDeleter& deleter, const WalkRoot& root,
                             const DeleteCheck& rules) {
    return {"delete", [&deleter, &root, rules](const ResultEntry& entry) {
                deleter.deleteFolder(placeBelow(root, entry.path), checkFor(entry, rules),
                                     /*force=*/true);
            }};
}

FolderTreatment trashingWith(FolderTrasher& trasher, const WalkRoot& root,
                             const DeleteCheck& rules) {
    return {"trash", [&trasher, &root, rules](const ResultEntry& entry) {
                trasher.moveToTrash(placeBelow(root, entry.path), checkFor(entry, rules));
            }};
}

}  // namespace voidbroom
