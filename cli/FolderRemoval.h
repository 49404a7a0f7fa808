#pragma once

#include <string>

#include "fs/FolderDeleter.h"
#include "fs/FolderPlace.h"
#include "fs/FolderTrasher.h"
#include "results/SelectedFolders.h"

namespace voidbroom {

// What voidbroom-scan does to the folder of each listed entry below a FOLDER given: its
// action, and the verb that its messages use ("cannot delete 'PATH': REASON").
struct FolderTreatment {
    std::string verb;
    FolderAction apply;  // throws FsError when the folder is not handled
};

// Deletes the entry's folder with force, under the entry's check, as Delete selected does;
// every folder is reached from `root`, which is never removed itself. `deleter` and `root`
// must outlive the treatment.
// `rules` are what the walk listed by (see DeleteCheck: names, and the age as the time from
// which a modification is recent).
FolderTreatment deletionWith(FolderDeleter& deleter, const WalkRoot& root,
                             const DeleteCheck& rules = {});
// Moves the entry's folder to the trash under the same check, as Move to Trash does.
FolderTreatment trashingWith(FolderTrasher& trasher, const WalkRoot& root,
                             const DeleteCheck& rules = {});

}  // namespace voidbroom
