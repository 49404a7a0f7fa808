#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/FolderDeleter.h"
#include "results/ResultList.h"

namespace voidbroom {

// A folder that a command could not handle: its path and, in plain words, why.
struct FolderFailure {
    std::string path;
    std::string reason;
};

// What the folder of an entry must still be to be deleted: the folder the scan listed, and
// still what it was listed for (an empty folder still empty, a zero-size folder still
// holding no data).
DeleteCheck deleteCheckFor(const ResultEntry& entry);

// Does something to the folder of one entry (deletes it, moves it to the trash); throws
// FsError when the folder is not handled.
using FolderAction = std::function<void(const ResultEntry& entry)>;

// Runs `action` on the folder of every selected entry, from the last entry to the first, and
// removes each entry whose folder it handled, calling `afterRemoval` each time. Going from the
// last entry, a removal moves only entries already visited, and a folder's entry comes before
// the entries of the folders inside it, so those are handled first. With `stopAtFirstFailure`
// the command ends at the first failure, whose entry stays listed and selected; otherwise it
// goes on. Returns the failures in the order met.
std::vector<FolderFailure> handleSelectedLastFirst(ResultList& list, const FolderAction& action,
                                                   const std::function<void()>& afterRemoval,
                                                   bool stopAtFirstFailure);

}  // namespace voidbroom
