#include "fs/FolderStack.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "fs/FolderOpen.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// Descends a chain far deeper than the descriptor budget and climbs back: every level is
// reached again and is the same folder as on the way down.
TEST(FolderStack, ClimbsBackThroughAChainDeeperThanItsDescriptorBudget) {
    test::TempTree tree;
    tree.addChain("", 300, "d");
    FolderStack stack(8);
    stack.start(openFolderPath(tree.root(), FollowLinks::No).fd);
    std::vector<FolderIdentity> down;
    for (int i = 0; i < 300; ++i) {
        OpenedFolder child = openChildFolder(stack.top(), "d");
        ASSERT_EQ(child.status, OpenStatus::Opened) << "level " << i;
        down.push_back(identityOf(child.fd.get()));
        stack.push(std::move(child.fd), "d");
        EXPECT_LE(stack.openCount(), 8u);
    }
    for (int i = 299; i >= 0; --i) {
        ASSERT_GE(stack.top(), 0) << "level " << i;
        EXPECT_EQ(identityOf(stack.top()), down[i]) << "level " << i;
        stack.pop();
    }
    EXPECT_EQ(stack.size(), 1u);
}

}  // namespace
}  // namespace voidbroom
