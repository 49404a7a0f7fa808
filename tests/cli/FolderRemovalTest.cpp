// --delete: the folders of a walk's entries go as Delete selected would delete them, and
// whatever changed since the walk stays, is told, and does not stop the rest.
#include "cli/FolderRemoval.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

// The FOLDER given is walked as a drive's root, and a drive's root is never removed: listed
// as it may be, it stays, the run says so and goes on, and what is below it still goes.
TEST(FolderRemoval, TheFolderGivenStaysWhateverItIsListedFor) {
    struct Case {
        std::vector<std::string> tree;
        std::vector<std::string> args;
        std::string removed;  // what goes below the root
    };
    const Case cases[] = {
        {{}, {"--delete"}, ""},
        {{"z:0", "e/", "d/y:0"}, {"--delete", "--mode", "1"}, ""},
        {{"z:0", "e/"}, {"--trash", "--mode=1"}, ""},
        {{"a/f:1", "b/"}, {"--delete", "--mode", "2"}, "b"},
    };
    for (const Case& c : cases) {
        test::TempTree tree(c.tree), data;
        setenv("XDG_DATA_HOME", data.root().c_str(), 1);
        std::vector<std::string> args = c.args;
        args.push_back(tree.root());
        const test::Outcome outcome = test::runCommand(args);
        unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "voidbroom-scan: '" + tree.rootPath() +
                                   "' stays: a FOLDER given is never removed\n");
        EXPECT_EQ(outcome.out, c.removed.empty() ? "" : tree.path(c.removed) + "\n");
        for (const std::string& item : c.tree) {
            const std::string path = tree.path(item.substr(0, item.find_first_of(":/")));
            EXPECT_EQ(test::exists(path), c.removed.empty() || !path.ends_with(c.removed)) << path;
        }
    }
}

// Between the walk and the deletion, one listed folder gets a file, one is swapped for a
// link, and the content of a zero-size one gets data: all three stay and are told, the
// others go, and only what went is printed, the last first, as it went. The same with --trash,
// where what went is in the trash, and a scan afterwards does not list it there.
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

        std::string printed;  // the last entry first, as they went
        for (const std::string& entry : walked.entries) {
            const std::string path = entry.substr(entry.starts_with("*** ") ? 4 : 0);
            const bool kept = path == tree.path("filled") || path == tree.path("swapped") ||
                              path == tree.path("zero");
            if (!kept) printed.insert(0, entry + "\n");
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
