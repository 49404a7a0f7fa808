#include "fs/FolderStack.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// In a child, since the limit is the whole process's: a low soft limit goes up to the hard
// one, never past 65,536, and a soft limit already there is kept.
TEST(FolderStack, DescriptorLimitIsRaisedToTheHardLimitAtMost65536) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rlimit limit;
        getrlimit(RLIMIT_NOFILE, &limit);
        const rlim_t hard = limit.rlim_max;
        limit.rlim_cur = std::min<rlim_t>(hard, 200);
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) _exit(2);
        const std::size_t budgetBefore = descriptorBudget();
        raiseDescriptorLimit();
        getrlimit(RLIMIT_NOFILE, &limit);
        const bool raised = limit.rlim_cur == std::min<rlim_t>(hard, 65536);
        const bool budgetGrew = hard <= 200 || descriptorBudget() > budgetBefore;
        raiseDescriptorLimit();
        rlimit again;
        getrlimit(RLIMIT_NOFILE, &again);
        _exit(raised && budgetGrew && again.rlim_cur == limit.rlim_cur ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace voidbroom
