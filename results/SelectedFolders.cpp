#include "results/SelectedFolders.h"

#include <optional>

#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {

DeleteCheck deleteCheckFor(const ResultEntry& entry) {
    DeleteCheck check;
    check.folder = entry.folder;
    switch (entry.kind) {
        case EntryKind::Empty:
            check.rule = DeleteRule::EmptyOnly;
            break;
        case EntryKind::ZeroSize:
            check.rule = DeleteRule::ZeroLengthOnly;
            break;
        case EntryKind::NoFiles:
            check.rule = DeleteRule::Everything;
            break;
    }
    return check;
}

namespace {
// Runs `action` on the entry's folder; the failure, when it was not handled. A failure below
// the folder names the path where it happened.
std::optional<FolderFailure> tryAction(const ResultEntry& entry, const FolderAction& action) {
    try {
        action(entry);
    } catch (const FsError& error) {
        const std::string_view path = withoutTrailingSlashes(entry.path);
        return FolderFailure{entry.path, error.path() == path ? error.reason() : error.what()};
    }
    return std::nullopt;
}
}  // namespace

std::vector<FolderFailure> handleSelectedLastFirst(ResultList& list, const FolderAction& action,
                                                   const std::function<void()>& afterRemoval,
                                                   bool stopAtFirstFailure) {
    std::vector<FolderFailure> failures;
    for (std::size_t i = list.count(); i-- > 0;) {
        if (!list.selected(i)) continue;
        if (auto failure = tryAction(list.at(i), action)) {
            failures.push_back(std::move(*failure));
            if (stopAtFirstFailure) break;
            continue;
        }
        list.remove(i);
        if (afterRemoval) afterRemoval();
    }
    return failures;
}

void handleAllLastFirst(const std::vector<ResultEntry>& entries, const FolderAction& action,
                        const EntryOutcomeSink& told) {
    for (std::size_t i = entries.size(); i-- > 0;) {
        const std::optional<FolderFailure> failure = tryAction(entries[i], action);
        if (!told(entries[i], failure ? &*failure : nullptr)) return;
    }
}

}  // namespace voidbroom
