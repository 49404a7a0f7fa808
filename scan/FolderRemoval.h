#pragma once

#include <string>
#include <vector>

#include "fs/FolderDeleter.h"
#include "fs/FolderTrasher.h"
#include "results/SelectedFolders.h"
#include "scan/ResultEntry.h"

namespace voidbroom {

// What voidbroom-scan does to the folder of each listed entry: its action, and the verb that
// its messages use ("cannot delete 'PATH': REASON").
struct FolderTreatment {
    std::string verb;
    FolderAction apply;  // throws FsError when the folder is not handled
};

// Deletes the entry's folder with force, under the entry's check, as Delete selected does.
// `deleter` must outlive the treatment.
FolderTreatment deletionWith(FolderDeleter& deleter);
// Moves the entry's folder to the trash under the same check, as Move to Trash does.
FolderTreatment trashingWith(FolderTrasher& trasher);

struct TreatmentOutcome {
    std::vector<ResultEntry> handled;     // in list order
    std::vector<FolderFailure> failures;  // in the order met: the last entry first
};

// Treats the folder of every entry as Delete selected does with every entry selected: the
// last entry first, so that the folders inside a folder go before it; unlike the window, it
// goes on after a failure.
TreatmentOutcome treatAll(std::vector<ResultEntry> entries, const FolderTreatment& treatment);

}  // namespace voidbroom
