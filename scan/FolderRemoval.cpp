#include "scan/FolderRemoval.h"

#include <algorithm>

#include "fs/FsError.h"

namespace voidbroom {

FolderTreatment deletionWith(FolderDeleter& deleter) {
    return {"delete", [&deleter](const ResultEntry& entry) {
                try {
                    deleter.deleteFolder(entry.path, deleteCheckFor(entry), /*force=*/true);
                } catch (const FsError& error) {
                    // The deleter names a root entry ("X/") without its final "/": give the
                    // entry's own path, so that the failure reads as about the entry itself.
                    std::string_view path = entry.path;
                    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
                    if (error.path() != path) throw;
                    throw FsError(entry.path, error.reason());
                }
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
