// --delete: the folders of a walk's entries go as Delete selected would delete them, and
// whatever changed since the walk stays, is told, and does not stop the rest.
#include "scan/FolderRemoval.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "fs/FsError.h"
#include "tests/support/CommandRun.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

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

// A FOLDER that was itself listed is named as listed, with its final "/", and the reason
// alone.
TEST(FolderRemoval, ARootEntryThatFailsIsNamedAsListed) {
    test::TempTree tree;
    const test::Outcome outcome = test::runCommand({"--delete", tree.root()}, nullptr,
                                                   [&](const std::string&) { tree.add("late:1"); });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(outcome.err.starts_with("voidbroom-scan: cannot delete '" + tree.rootPath() +
                                        "': it is not empty any more"))
        << outcome.err;
    EXPECT_TRUE(test::exists(tree.path("late")));
}

// Between the walk and the deletion, one listed folder gets a file, one is swapped for a
// link, and the content of a zero-size one gets data: all three stay and are told, the
// others go, and only what went is printed, in walk order. The same with --trash, where what
// went is in the trash, and a scan afterwards does not list it there.
TEST(FolderRemoval, WhatChangedSinceTheWalkStaysAndTheRestGoes) {
    for (const std::string how : {"delete", "trash"}) {
        test::TempTree tree({"keep:1", "empty/", "nest/inner/", "filled/", "swapped/", "zero/z:0",
                             "zero2/sub/y:0", "full/f:1", "data/x:1"});
        test::TempTree aside({"target/"});
        const test::RecordingHost walked = test::walk(tree.rootPath(), 1);
        const auto changeTree = [&](const std::string& folder) {
            EXPECT_EQ(folder, tree.root());
            tree.add("filled/new.txt:3");
            ASSERT_EQ(rename(tree.path("swapped").c_str(), aside.path("swapped").c_str()), 0);
            tree.add("swapped -> " + aside.path("target"));
            std::FILE* data = std::fopen(tree.path("zero/z").c_str(), "w");
            ASSERT_NE(data, nullptr);
            std::fputs("data", data);
            std::fclose(data);
        };
        const std::string trash = tree.path("data/Trash");
        setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
        const test::Outcome outcome =
            test::runCommand({"--" + how, "--mode", "1", tree.root()}, nullptr, changeTree);
        unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(outcome.status, 1);

        std::string printed;
        for (const std::string& entry : walked.entries) {
            const std::string path = entry.substr(entry.starts_with("*** ") ? 4 : 0);
            const bool kept = path == tree.path("filled") || path == tree.path("swapped") ||
                              path == tree.path("zero");
            if (!kept) printed += entry + "\n";
            EXPECT_EQ(test::exists(path), kept) << path;
            if (how == "trash" && !kept) {
                EXPECT_TRUE(test::exists(trash + "/files/" + path.substr(tree.root().size() + 1)))
                    << path;
            }
        }
        EXPECT_EQ(walked.entries.size(), 6u);
        EXPECT_EQ(outcome.out, printed);
        for (const std::string name : {"filled", "swapped", "zero"}) {
            EXPECT_NE(
                outcome.err.find("voidbroom-scan: cannot " + how + " '" + tree.path(name) + "': "),
                std::string::npos)
                << name << "\n"
                << outcome.err;
        }
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 3) << outcome.err;
        EXPECT_EQ(test::contentOf(tree.path("filled/new.txt")), "xxx");
        EXPECT_EQ(test::contentOf(tree.path("zero/z")), "data");
        EXPECT_TRUE(test::exists(aside.path("target")));
        EXPECT_TRUE(test::exists(aside.path("swapped")));
        EXPECT_TRUE(test::exists(tree.path("full/f")));
        if (how == "trash") {
            EXPECT_TRUE(test::exists(trash + "/info/nest.trashinfo"));
            setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
            const Lines again = test::walk(tree.rootPath(), 0).entries;
            unsetenv("XDG_DATA_HOME");
            EXPECT_EQ(again, Lines{}) << "nothing in the trash is listed";
        }
    }
}

}  // namespace
}  // namespace voidbroom
