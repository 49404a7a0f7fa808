// The cleanup rules on a tree like a well-used USB stick: junk files, a placeholder to keep,
// excluded folders, and old folders with a recent change deep inside. Each rule and their
// combinations list exactly what they should in every mode, and --delete removes exactly
// what was listed, junk files included, and nothing else.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using Set = std::set<std::string>;

const std::vector<std::string> kUsbStick = {
    "keep.txt:1",          // the stick holds data: the top is not listed
    "thumbs/Thumbs.db:5",  // junk only, with content
    "mac/.DS_Store:3",
    "mac/._photo:2",  // junk only
    "nested/a/desktop.ini:4",
    "nested/b/",               // junk and an empty folder
    "placeholder/.gitkeep:0",  // a placeholder someone wants
    "cache/big:9",
    "wrap/cache/",  // a folder to exclude, with data and empty
    "plain/",
    "zero/z:0",
    "deep/a/b/f:0",               // f is changed recently, its folders are old
    "proj/src/main.c:5",          // changed recently, below a folder without files
    "archive/2019/report.pdf:5",  // all old
};

// Every entry of the tree was last changed 60 days ago, but for the two recent files.
void ageTree(const test::TempTree& tree) {
    const timespec old[2] = {{time(nullptr) - 60 * 86400, 0}, {time(nullptr) - 60 * 86400, 0}};
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.root()))
        utimensat(AT_FDCWD, entry.path().c_str(), old, AT_SYMLINK_NOFOLLOW);
    for (const char* recent : {"deep/a/b/f", "proj/src/main.c"})
        utimensat(AT_FDCWD, tree.path(recent).c_str(), nullptr, AT_SYMLINK_NOFOLLOW);
}

Set linesOf(const std::string& text) {
    Set lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.insert(text.substr(start, end - start));
    }
    return lines;
}

// The entries for names below the tree's top: "*" in front for a marked one.
Set entries(const test::TempTree& tree, const std::vector<std::string>& names) {
    Set set;
    for (const std::string& name : names)
        set.insert(name[0] == '*' ? "*** " + tree.path(name.substr(1)) : tree.path(name));
    return set;
}

struct Case {
    std::vector<std::string> rules;
    int mode;
    std::vector<std::string> listed;
};

TEST(CleanupRules, EachRuleAndTheirCombinationsListExactlyWhatTheyShould) {
    test::TempTree tree(kUsbStick);
    ageTree(tree);
    const std::vector<std::string> junk = {"--junk-common"};
    const Case cases[] = {
        {{}, 0, {"nested/b", "wrap/cache", "plain"}},
        {{}, 1, {"nested/b", "*placeholder", "*wrap", "plain", "*zero", "*deep"}},
        {{}, 2, {"nested/b", "wrap/cache", "plain", "*nested", "*proj", "*archive"}},
        {junk, 0, {"thumbs", "mac", "nested/a", "nested/b", "wrap/cache", "plain"}},
        {junk, 1, {"thumbs", "mac", "*nested", "*placeholder", "*wrap", "plain", "*zero", "*deep"}},
        {{"--junk-common", "--keep", ".gitkeep"},
         1,
         {"thumbs", "mac", "*nested", "*wrap", "plain", "*zero", "*deep"}},
        // Keep wins over junk: the folder that holds desktop.ini is no longer junk only.
        {{"--junk", "*.ini", "--keep=desktop.ini"}, 0, {"nested/b", "wrap/cache", "plain"}},
        {{"--exclude", "cache"}, 0, {"nested/b", "plain"}},
        {{"--exclude", "cache"}, 1, {"nested/b", "*placeholder", "plain", "*zero", "*deep"}},
        {{"--exclude", "/wrap/cache"}, 1, {"nested/b", "*placeholder", "plain", "*zero", "*deep"}},
        {{"--older-than", "30d"}, 1, {"nested/b", "*placeholder", "*wrap", "plain", "*zero"}},
        {{"--older-than", "30d"}, 2, {"nested/b", "wrap/cache", "plain", "*nested", "*archive"}},
        {{"--older-than", "90d"}, 0, {}},
        {{"--junk-common", "--keep", ".gitkeep", "--exclude", "cache", "--older-than", "30d"},
         1,
         {"thumbs", "mac", "*nested", "plain", "*zero"}},
        {{"--keep", "nothing-has-this-name", "--exclude", "nor*this"},
         0,
         {"nested/b", "wrap/cache", "plain"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.rules;
        args.insert(args.end(), {"--mode", std::to_string(c.mode), tree.root()});
        const test::Outcome outcome = test::runCommand(args);
        std::string shown;
        for (const std::string& arg : args) shown += arg + " ";
        EXPECT_EQ(outcome.status, 0) << shown << outcome.err;
        EXPECT_EQ(linesOf(outcome.out), entries(tree, c.listed)) << shown;
    }
}

// As an unprivileged user: every folder printed is gone with its junk files, everything
// else is where it was.
TEST(CleanupRules, DeleteRemovesExactlyTheListedFoldersWithTheirJunk) {
    test::TempTree tree(kUsbStick);
    ageTree(tree);
    const std::vector<std::string> rules = {"--junk-common", "--keep", ".gitkeep",
                                            "--exclude",     "cache",  "--older-than",
                                            "30d",           "--mode", "1"};
    std::vector<std::string> before;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.root()))
        before.push_back(entry.path());
    std::vector<std::string> listing = rules, deleting = rules;
    listing.push_back(tree.root());
    deleting.insert(deleting.end(), {"--delete", tree.root()});
    const std::string listed = test::runCommand(listing).out;
    ASSERT_EQ(chmod(tree.root().c_str(), 0755), 0);
    std::filesystem::permissions(tree.root(), std::filesystem::perms::all);
    for (const std::string& path : before) lchown(path.c_str(), test::kNobody, test::kNobody);
    lchown(tree.root().c_str(), test::kNobody, test::kNobody);
    std::string deleted;
    const int status = test::runUnprivileged([&] {
        const test::Outcome outcome = test::runCommand(deleting);
        deleted = outcome.out;  // only seen where no child was needed
        std::FILE* file = std::fopen(tree.path("keep.txt.out").c_str(), "w");
        if (file) std::fputs(outcome.out.c_str(), file), std::fclose(file);
        return outcome.status;
    });
    EXPECT_EQ(status, 0);
    deleted = test::contentOf(tree.path("keep.txt.out"));
    std::remove(tree.path("keep.txt.out").c_str());
    EXPECT_EQ(linesOf(deleted), linesOf(listed));
    EXPECT_EQ(linesOf(deleted), entries(tree, {"thumbs", "mac", "*nested", "plain", "*zero"}));
    for (const std::string& path : before) {
        bool gone = false;
        for (const std::string& line : linesOf(deleted)) {
            const std::string folder = line.substr(line.starts_with("*** ") ? 4 : 0);
            gone = gone || path == folder || path.starts_with(folder + "/");
        }
        EXPECT_EQ(test::exists(path), !gone) << path;
    }
}

// Between the walk and the deletion a junk file is renamed to a name that is no junk, and a
// file that is no junk appears beside junk: both folders stay and are reported.
TEST(CleanupRules, WhatStopsBeingJunkAfterTheWalkKeepsItsFolder) {
    test::TempTree tree(
        {"keep.txt:1", "thumbs/Thumbs.db:5", "mac/.DS_Store:3", "gone/desktop.ini:1"});
    const test::Outcome outcome = test::runCommand(
        {"--junk-common", "--delete", tree.root()}, nullptr, [&](const std::string&) {
            rename(tree.path("thumbs/Thumbs.db").c_str(), tree.path("thumbs/photo.jpg").c_str());
            tree.add("mac/notes.txt:0");
        });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, tree.path("gone") + "\n");
    for (const char* kept : {"thumbs", "mac"})
        EXPECT_NE(outcome.err.find("cannot delete '" + tree.path(kept) + "'"), std::string::npos)
            << outcome.err;
    EXPECT_EQ(test::contentOf(tree.path("thumbs/photo.jpg")), "xxxxx");
    EXPECT_TRUE(test::exists(tree.path("mac/.DS_Store")) &&
                test::exists(tree.path("mac/notes.txt")));
    EXPECT_FALSE(test::exists(tree.path("gone")));
}

// A mode-2 deletion stops before a folder that holds something to keep or a recent change,
// with nothing of it removed; JSON tells how many junk files an entry holds.
TEST(CleanupRules, MarkedFoldersHoldingWhatIsKeptStayWhole) {
    test::TempTree tree({"keep.txt:1", "a/sub/.gitkeep:0", "a/sub2/data:3", "b/x/data:4",
                         "c/Thumbs.db:2", "c/desktop.ini:0"});
    const test::Outcome json = test::runCommand({"--json", "--junk-common", tree.root()});
    EXPECT_EQ(json.out,
              "{\"kind\":\"empty\",\"path\":\"" + tree.path("c") + "\",\"junk_files\":2}\n");
    const test::Outcome outcome =
        test::runCommand({"--keep", ".gitkeep", "--delete", "--mode", "2", tree.root()}, nullptr,
                         [&](const std::string&) { tree.add("b/x/late:1"); });
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot delete '" + tree.path("a") + "': it stays: "),
              std::string::npos)
        << outcome.err;
    EXPECT_TRUE(test::exists(tree.path("a/sub2/data")) &&
                test::exists(tree.path("a/sub/.gitkeep")));
    EXPECT_FALSE(test::exists(tree.path("b")));
}

}  // namespace
}  // namespace voidbroom
