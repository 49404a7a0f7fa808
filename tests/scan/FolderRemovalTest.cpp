// The deletion driver of voidbroom-scan: every entry's folder, as Delete selected would treat
// it, going on past a failure.
#include "scan/FolderRemoval.h"

#include <gtest/gtest.h>

#include "fs/FsError.h"

namespace voidbroom {
namespace {

ResultEntry entryAt(const std::string& path) {
    return {EntryKind::Empty, path, {}};
}

// The last entry first, going on after a failure; what was handled comes back in list order.
TEST(FolderRemoval, TreatsTheLastEntryFirstAndGoesOnAfterAFailure) {
    std::vector<std::string> calls;
    const FolderTreatment treatment{"touch", [&](const ResultEntry& entry) {
                                        calls.push_back(entry.path);
                                        if (entry.path == "/c") throw FsError("/c", "it is busy");
                                        if (entry.path == "/e")
                                            throw FsError("/e/inner", "no right to remove it");
                                    }};
    const TreatmentOutcome outcome = treatAll(
        {entryAt("/a"), entryAt("/a/b"), entryAt("/c"), entryAt("/d"), entryAt("/e")}, treatment);
    EXPECT_EQ(calls, (std::vector<std::string>{"/e", "/d", "/c", "/a/b", "/a"}));
    std::vector<std::string> handled;
    for (const ResultEntry& entry : outcome.handled) handled.push_back(entry.path);
    EXPECT_EQ(handled, (std::vector<std::string>{"/a", "/a/b", "/d"}));
    ASSERT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(outcome.failures[0].path, "/e");
    EXPECT_EQ(outcome.failures[0].reason, "/e/inner: no right to remove it");
    EXPECT_EQ(outcome.failures[1].path, "/c");
    EXPECT_EQ(outcome.failures[1].reason, "it is busy");
}

}  // namespace
}  // namespace voidbroom
