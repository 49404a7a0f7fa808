// The content listing on real trees. Where a folder holds several files or several
// subfolders, their order is the file system's: the tests read it with readdir(3) and lstat(2),
// independently of the listing's own reader, and build the expected lines in that order.
#include "results/FolderContentLister.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// What the listing should give, read the plain recursive way: files first, then each
// subfolder's line and its own block.
std::string expectedBlock(const std::string& folder) {
    std::string files, folders;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = dir ? readdir(dir) : nullptr) {
        const std::string name = entry->d_name, path = folder + "/" + name;
        struct stat st;
        if (name == "." || name == "..") continue;
        if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            folders += "Folder: " + name + "\r\n" + expectedBlock(path);
        else
            files += "   File: " + name + "\r\n";
    }
    if (dir) closedir(dir);
    return files + folders;
}

// A lister that reads ahead from the first folder on, however fast the disk: what it lists
// must be what the plain reading gives.
struct ReadingAhead : FolderContentLister {
    ReadingAhead() : FolderContentLister(kDefaultReadAheadThreads, std::chrono::nanoseconds(0)) {}
};

std::string collect(const std::string& folder, const ContentYield& yield = {}) {
    std::string text;
    ReadingAhead().CollectFolderContent(folder, text, yield);
    return text;
}

// Links (to folders, dangling, looping) and FIFOs are files and are never followed; names
// are bare names with their bytes as on disk, hidden ones included; depth is not shown. One
// lister lists one folder after another, as the log does.
TEST(FolderContentLister, MatchesAPlainRecursiveReadingOfAVariedTree) {
    test::TempTree tree({"top.txt:5", ".hidden:0", "A/toB -> ../B", "A/dangling -> nowhere",
                         "A/loop -> loop", "A/pipe|", "A/A1/A2/deep:0", "A/A1/empty/", "B/inside:1",
                         "B/.cache/", "\xff\xfe odd/new\nline:0", "C/"});
    ReadingAhead lister;
    std::string first, text;
    lister.CollectFolderContent(tree.path("A"), first, {});
    lister.CollectFolderContent(tree.root(), text, {});
    EXPECT_EQ(first, expectedBlock(tree.path("A")));
    EXPECT_EQ(text, expectedBlock(tree.root()));
    EXPECT_TRUE(text.starts_with("   File: ")) << text;
    EXPECT_NE(text.find("   File: toB\r\n"), std::string::npos);
    EXPECT_NE(text.find("Folder: \xff\xfe odd\r\n   File: new\nline\r\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 18)
        << "17 entries, one name with a line break";
}

// The listing yields right before each folder line and nowhere else. A listing of another
// folder run from a yield (as a second double-click would) changes nothing in this one.
TEST(FolderContentLister, YieldsOnceBeforeEachSubfolderAndOnlyThere) {
    test::TempTree tree({"f1:0", "f2:0", "P/p:0", "P/Q/q:0", "P/Q/R/", "S/", "other/o1/o2/"});
    std::vector<std::size_t> yieldedAt;
    std::string text;
    ReadingAhead().CollectFolderContent(tree.root(), text, [&] {
        yieldedAt.push_back(text.size());
        EXPECT_EQ(collect(tree.path("other")), "Folder: o1\r\nFolder: o2\r\n");
        return true;
    });
    EXPECT_EQ(text, collect(tree.root()));
    ASSERT_EQ(yieldedAt.size(), 7u) << "one yield per folder line";
    for (std::size_t at : yieldedAt)
        EXPECT_EQ(text.compare(at, 8, "Folder: "), 0) << text.substr(at);
}

// Permissions do not bind root: the listing runs as an unprivileged user.
TEST(FolderContentLister, AnUnreadableFolderBelowEndsTheListingWithTheLinesSoFar) {
    test::TempTree tree({"A/f:0", "A/B/c:0"});
    ASSERT_EQ(chmod(tree.path("A/B").c_str(), 0), 0);
    EXPECT_EQ(test::runUnprivileged([&] {
                  std::string text;
                  try {
                      ReadingAhead().CollectFolderContent(tree.root(), text, {});
                  } catch (const FsError& error) {
                      if (error.path() == tree.path("A/B") && error.reason() == "Permission denied")
                          return text == "Folder: A\r\n   File: f\r\nFolder: B\r\n" ? 0 : 3;
                      std::cerr << "failure: " << error.what() << "\n";
                      return 2;
                  }
                  return 1;
              }),
              0)
        << "1: no failure, 2: wrong failure, 3: wrong lines";
}

TEST(FolderContentLister, TheMountPointOfAnotherFileSystemIsListedButNotEntered) {
    test::TempTree tree({"A/M/"});
    const test::TmpfsMount tmpfs(tree.path("A/M"));
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    tree.add("A/M/inner/z:0");
    EXPECT_EQ(collect(tree.root()), "Folder: A\r\nFolder: M\r\n");
}

TEST(FolderContentLister, TwentyThousandLevelsAreListedToTheBottom) {
    test::TempTree tree;
    tree.addChain("", 20000, "d", "leaf", 0);
    std::string expected;
    for (int i = 0; i < 20000; ++i) expected += "Folder: d\r\n";
    const std::string text = collect(tree.root());
    EXPECT_TRUE(text == expected + "   File: leaf\r\n") << "got " << text.size() << " bytes";
}

}  // namespace
}  // namespace voidbroom
