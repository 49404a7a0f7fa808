#include "scan/FolderRemoval.h"

#include <algorithm>

#include "fs/FsError.h"

namespace voidbroom {

namespace {
// A root entry ("X/") is named without its final "/" by the deleter and the trasher: the
// failure gives the entry's own path, so that it reads as about the entry itself.
void handleAsEntry(const ResultEntry& entry, const std::function<void()>& handle) {
    try {
        handle();
    } catch (const FsError& error) {
        std::string_view path = entry.path;
        while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
        if (error.path() != path) throw;
        throw FsError(entry.path, error.reason());
    }
}
}  // namespace

FolderTreatment deletionWith(FolderDeleter& deleter) {
    return {"delete", [&deleter](const ResultEntry& entry) {
                handleAsEntry(entry, [&] {
                    deleter.deleteFolder(entry.path, deleteCheckFor(entry), /*force=*/true);
                });
            }};
}

FolderTreatment trashingWith(FolderTrasher& trasher) {
    return {"trash", [&trasher](const ResultEntry& entry) {
                handleAsEntry(entry,
                              [&] { trasher.moveToTrash(entry.path, deleteCheckFor(entry)); });
            }};
}

TreatmentOutcome treatAll(std::vector<ResultEntry> entries, const FolderTreatment& treatment) {
    ResultList list;
    for (ResultEntry& entry : entries) list.append(std::move(entry));
    for (std::size_t i = 0; i < list.count(); ++i) list.setSelected(i, true);
    TreatmentOutcome outcome;
    outcome.failures = handleSelectedLastFirst(
        list,
        [&](const ResultEntry& entry) {
            treatment.apply(entry);
            outcome.handled.push_back(entry);
        },
        {}, /*stopAtFirstFailure=*/false);
    std::reverse(outcome.handled.begin(), outcome.handled.end());
    return outcome;
}

}  // namespace voidbroom
