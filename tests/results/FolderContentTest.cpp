// The content listing on real trees. Where a folder holds several files or several
// subfolders, their order is the file system's: the tests read it with readdir(3) and lstat(2),
// independently of the listing's own reader, and build the expected lines in that order.
#include "results/FolderContent.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using Names = std::vector<std::string>;

// The names in `folder` in the order readdir returns them, "." and ".." left out.
Names readdirOrder(const std::string& folder) {
    Names names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

// `names`, all in `folder`, in the order that folder lists them.
Names inListingOrder(const std::string& folder, Names names) {
    const Names order = readdirOrder(folder);
    auto position = [&](const std::string& name) {
        return std::find(order.begin(), order.end(), name);
    };
    std::sort(names.begin(), names.end(),
              [&](auto& a, auto& b) { return position(a) < position(b); });
    return names;
}

bool isRealFolder(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// What the listing should give, read the plain recursive way: files first, then each
// subfolder's line and its own block.
std::string expectedBlock(const std::string& folder) {
    std::string files, folders;
    for (const std::string& name : readdirOrder(folder)) {
        const std::string path = folder + "/" + name;
        if (isRealFolder(path))
            folders += "Folder: " + name + "\r\n" + expectedBlock(path);
        else
            files += "   File: " + name + "\r\n";
    }
    return files + folders;
}

std::string collect(const std::string& folder, const ContentYield& yield = {}) {
    std::string text;
    FolderContentLister().CollectFolderContent(folder, text, yield);
    return text;
}

TEST(FolderContent, TheExampleFolderGivesItsSixLinesInOrder) {
    test::TempTree tree({"a.txt:3", "b.txt:0", "x/c.txt:1", "x/y/", "z/"});
    std::string expected;
    for (const std::string& file : inListingOrder(tree.root(), {"a.txt", "b.txt"}))
        expected += "   File: " + file + "\r\n";
    for (const std::string& folder : inListingOrder(tree.root(), {"x", "z"})) {
        expected += "Folder: " + folder + "\r\n";
        if (folder == "x") expected += "   File: c.txt\r\nFolder: y\r\n";
    }
    EXPECT_EQ(collect(tree.root()), expected);
}

// Links (to folders, dangling, looping) and FIFOs are files and are never followed; names
// are bare names with their bytes as on disk, hidden ones included; depth is not shown.
TEST(FolderContent, MatchesAPlainRecursiveReadingOfAVariedTree) {
    test::TempTree tree({"top.txt:5", ".hidden:0", "A/toB -> ../B", "A/dangling -> nowhere",
                         "A/loop -> loop", "A/pipe|", "A/A1/A2/deep:0", "A/A1/empty/", "B/inside:1",
                         "B/.cache/", "\xff\xfe odd/new\nline:0", "C/"});
    const std::string text = collect(tree.root());
    EXPECT_EQ(text, expectedBlock(tree.root()));
    EXPECT_NE(text.find("   File: toB\r\n"), std::string::npos);
    EXPECT_NE(text.find("Folder: \xff\xfe odd\r\n   File: new\nline\r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 18)
        << "17 entries, one name with a line break";
}

// The listing yields right before each folder line and nowhere else. A listing of another
// folder run from a yield (as a second double-click would) changes nothing in this one.
TEST(FolderContent, YieldsOnceBeforeEachSubfolderAndOnlyThere) {
    test::TempTree tree({"f1:0", "f2:0", "P/p:0", "P/Q/q:0", "P/Q/R/", "S/", "other/o1/o2/"});
    const std::string alone = collect(tree.path(""));
    std::vector<std::size_t> yieldedAt;
    std::string text;
    FolderContentLister().CollectFolderContent(tree.path(""), text, [&] {
        yieldedAt.push_back(text.size());
        EXPECT_EQ(collect(tree.path("other")), "Folder: o1\r\nFolder: o2\r\n");
        return true;
    });
    EXPECT_EQ(text, alone);
    std::size_t folderLines = 0;
    for (std::size_t at = 0; (at = text.find("Folder: ", at)) != std::string::npos; ++at)
        ++folderLines;
    EXPECT_EQ(folderLines, 7u);
    ASSERT_EQ(yieldedAt.size(), folderLines);
    for (std::size_t at : yieldedAt)
        EXPECT_EQ(text.compare(at, 8, "Folder: "), 0) << text.substr(at);
}

// Permissions do not bind root: the listing runs as an unprivileged user.
TEST(FolderContent, AnUnreadableFolderBelowEndsTheListingWithTheLinesSoFar) {
    test::TempTree tree({"A/f:0", "A/B/c:0"});
    ASSERT_EQ(chmod(tree.path("A/B").c_str(), 0), 0);
    const int result = test::runUnprivileged([&] {
        std::string text;
        try {
            FolderContentLister().CollectFolderContent(tree.root(), text, {});
        } catch (const FsError& error) {
            if (error.path() != tree.path("A/B") || error.reason() != "Permission denied") {
                std::cerr << "failure: " << error.what() << "\n";
                return 2;
            }
            return text == "Folder: A\r\n   File: f\r\nFolder: B\r\n" ? 0 : 3;
        }
        return 1;
    });
    EXPECT_EQ(result, 0) << "1: no failure, 2: wrong failure, 3: wrong lines";
}

TEST(FolderContent, TheMountPointOfAnotherFileSystemIsListedButNotEntered) {
    test::TempTree tree({"A/M/"});
    std::string why;
    if (!test::mountTmpfs(tree.path("A/M"), why)) GTEST_SKIP() << why;
    test::MountedAt mounted{tree.path("A/M")};
    tree.add("A/M/inner/z:0");
    EXPECT_EQ(collect(tree.root()), "Folder: A\r\nFolder: M\r\n");
}

TEST(FolderContent, TwentyThousandLevelsAreListedToTheBottom) {
    test::TempTree tree;
    tree.addChain("", 20000, "d", "leaf", 0);
    std::string expected;
    for (int i = 0; i < 20000; ++i) expected += "Folder: d\r\n";
    expected += "   File: leaf\r\n";
    const std::string text = collect(tree.root());
    EXPECT_TRUE(text == expected) << "got " << text.size() << " bytes, expected "
                                  << expected.size();
}

}  // namespace
}  // namespace voidbroom
