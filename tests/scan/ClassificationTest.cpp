#include <gtest/gtest.h>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using Entries = std::vector<std::string>;

// A holding only an empty B: mode 0 and 2 list B; mode 1 marks A and never looks inside.
TEST(Classification, FolderHoldingOnlyAnEmptyFolder) {
    test::TempTree tree({"x:1", "A/B/"});
    const std::string a = tree.path("A");
    EXPECT_EQ(test::scanEntries(tree.rootPath(), 0), Entries({a + "/B"}));
    EXPECT_EQ(test::scanEntries(tree.rootPath(), 1), Entries({"*** " + a}));
    EXPECT_EQ(test::scanEntries(tree.rootPath(), 2), Entries({a + "/B"}));
}

}  // namespace
}  // namespace voidbroom
