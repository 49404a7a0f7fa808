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

// Told of each entry as its folder was handled (`failure` null) or not; false stops the run.
using EntryOutcomeSink =
    std::function<bool(const ResultEntry& entry, const FolderFailure* failure)>;

// Runs `action` on the folder of every entry, from the last to the first (so that the folders
// inside a folder go before it), and tells `told` of each at once. Unlike the window's
// command, it goes on after a failure.
void handleAllLastFirst(const std::vector<ResultEntry>& entries, const FolderAction& action,
                        const EntryOutcomeSink& told);

}  // namespace voidbroom
