#include "results/SelectedFolders.h"

#include <gtest/gtest.h>

#include "fs/FsError.h"

namespace voidbroom {
namespace {

ResultEntry entryAt(const std::string& path) {
    return {EntryKind::Empty, path, {}};
}

// Every entry, the last first; each outcome is told as it comes, a failure below the folder
// names where it happened, and the run goes on after a failure until the sink says stop.
TEST(SelectedFolders, AllEntriesAreHandledLastFirstAndToldAsTheyGo) {
    std::vector<std::string> calls, told;
    const FolderAction action = [&](const ResultEntry& entry) {
        calls.push_back(entry.path);
        if (entry.path == "/c/") throw FsError("/c", "it is busy");
        if (entry.path == "/e") throw FsError("/e/inner", "no right to remove it");
    };
    const std::vector<ResultEntry> entries = {entryAt("/a"), entryAt("/a/b"), entryAt("/c/"),
                                              entryAt("/d"), entryAt("/e")};
    handleAllLastFirst(
        entries, action, [&](const ResultEntry& entry, const FolderFailure* failure) {
            told.push_back(entry.path + (failure ? " failed: " + failure->reason : ""));
            return true;
        });
    EXPECT_EQ(calls, (std::vector<std::string>{"/e", "/d", "/c/", "/a/b", "/a"}));
    EXPECT_EQ(told, (std::vector<std::string>{"/e failed: /e/inner: no right to remove it", "/d",
                                              "/c/ failed: it is busy", "/a/b", "/a"}));
    calls.clear();
    handleAllLastFirst(entries, action, [&](const ResultEntry& entry, const FolderFailure*) {
        return entry.path != "/d";
    });
    EXPECT_EQ(calls, (std::vector<std::string>{"/e", "/d"}));
}

}  // namespace
}  // namespace voidbroom
