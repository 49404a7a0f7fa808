#include "fs/FolderStack.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

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

// Descends R/a/b/c/d with room for two descriptors, so that a and b are given up and must be
// opened again on the way back; `change` runs while the stack is at the bottom.
struct ClimbResult {
    FolderIdentity b, bAgain;
};
ClimbResult climbBackAfter(const test::TempTree& tree, const std::function<void()>& change) {
    FolderStack stack(2);
    stack.start(openFolderPath(tree.root(), FollowLinks::No).fd);
    ClimbResult result;
    for (const char* name : {"a", "b", "c", "d"}) {
        OpenedFolder child = openChildFolder(stack.top(), name);
        if (child.status != OpenStatus::Opened) return result;
        if (std::string(name) == "b") result.b = identityOf(child.fd.get());
        stack.push(std::move(child.fd), name);
    }
    change();
    stack.pop();  // d
    stack.pop();  // c: b is the top again
    if (stack.top() >= 0) result.bAgain = identityOf(stack.top());
    return result;
}

// c was moved elsewhere: its ".." is no longer b, and b is found again from the bottom, by name.
TEST(FolderStack, ClimbsBackByNameWhenAChildWasMovedAway) {
    test::TempTree tree({"a/b/c/d/", "elsewhere/"});
    const ClimbResult result = climbBackAfter(tree, [&] {
        ASSERT_EQ(rename(tree.path("a/b/c").c_str(), tree.path("elsewhere/c").c_str()), 0);
    });
    EXPECT_NE(result.b, FolderIdentity{});
    EXPECT_EQ(result.bAgain, result.b);
}

// c was moved, and b swapped for another folder of the same name: neither way leads back to
// b, and the stack answers "lost" rather than the folder that now has b's name.
TEST(FolderStack, NeverClimbsIntoAnotherFolderOfTheSameName) {
    test::TempTree tree({"a/b/c/d/", "elsewhere/"});
    const ClimbResult result = climbBackAfter(tree, [&] {
        ASSERT_EQ(rename(tree.path("a/b/c").c_str(), tree.path("elsewhere/c").c_str()), 0);
        ASSERT_EQ(rename(tree.path("a/b").c_str(), tree.path("elsewhere/b").c_str()), 0);
        tree.add("a/b/");
    });
    EXPECT_NE(result.b, FolderIdentity{});
    EXPECT_EQ(result.bAgain, FolderIdentity{}) << "the stack climbed into the new a/b";
}

}  // namespace
}  // namespace voidbroom
