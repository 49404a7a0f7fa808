#include "results/SelectedFolders.h"

#include "fs/FsError.h"

namespace voidbroom {

DeleteCheck deleteCheckFor(const ResultEntry& entry) {
    switch (entry.kind) {
        case EntryKind::Empty:
            return {entry.folder, DeleteRule::EmptyOnly};
        case EntryKind::ZeroSize:
            return {entry.folder, DeleteRule::ZeroLengthOnly};
        case EntryKind::NoFiles:
            break;
    }
    return {entry.folder, DeleteRule::Everything};
}

std::vector<FolderFailure> handleSelectedLastFirst(ResultList& list, const FolderAction& action,
                                                   const std::function<void()>& afterRemoval,
                                                   bool stopAtFirstFailure) {
    std::vector<FolderFailure> failures;
    for (std::size_t i = list.count(); i-- > 0;) {
        if (!list.selected(i)) continue;
        const ResultEntry& entry = list.at(i);
        try {
            action(entry);
        } catch (const FsError& error) {
            // A failure below the folder names the path where it happened.
            failures.push_back(
                {entry.path, error.path() == entry.path ? error.reason() : error.what()});
            if (stopAtFirstFailure) break;
            continue;
        }
        list.remove(i);
        if (afterRemoval) afterRemoval();
    }
    return failures;
}

}  // namespace voidbroom
