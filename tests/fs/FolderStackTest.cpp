#include "fs/FolderStack.h"

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
    for (int i = 299; i >= 0; --i, stack.pop())
        EXPECT_EQ(identityOf(stack.top()), down[i]) << "level " << i;
    EXPECT_EQ(stack.size(), 1u);
}

// Descends R/a/b/c/d with room for two descriptors, so that a and b are given up; c is moved
// elsewhere at the bottom, so that its ".." no longer leads to b. b must be found again from
// the bottom by name; but when b too was swapped for another folder of its name, the stack
// must answer "lost" rather than climb into that folder.
TEST(FolderStack, ClimbsBackByNameAndNeverIntoAnotherFolderOfTheSameName) {
    for (const bool swapB : {false, true}) {
        test::TempTree tree({"a/b/c/d/", "elsewhere/"});
        FolderStack stack(2);
        stack.start(openFolderPath(tree.root(), FollowLinks::No).fd);
        FolderIdentity b;
        for (const char* name : {"a", "b", "c", "d"}) {
            OpenedFolder child = openChildFolder(stack.top(), name);
            ASSERT_EQ(child.status, OpenStatus::Opened);
            if (std::string(name) == "b") b = identityOf(child.fd.get());
            stack.push(std::move(child.fd), name);
        }
        ASSERT_EQ(std::rename(tree.path("a/b/c").c_str(), tree.path("elsewhere/c").c_str()), 0);
        if (swapB) {
            ASSERT_EQ(std::rename(tree.path("a/b").c_str(), tree.path("elsewhere/b").c_str()), 0);
            tree.add("a/b/");
        }
        stack.pop();  // d
        stack.pop();  // c: b is the top again
        if (swapB)
            EXPECT_EQ(stack.top(), -1) << "the stack climbed into the new a/b";
        else
            EXPECT_TRUE(stack.top() >= 0 && identityOf(stack.top()) == b);
    }
}

}  // namespace
}  // namespace voidbroom
