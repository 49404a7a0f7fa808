// The walk on trees that go wrong in real life: folders that change under it, links, odd
// names, depth, other file systems. Where a folder holds several subfolders their order is the
// file system's, and the test compares sorted lines; it says so.
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tests/support/Compare.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

Lines sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A walk in `mode` from the tree's root that runs `atYield` at every yield.
test::RecordingHost walk(const test::TempTree& tree, int mode,
                         std::function<void(test::RecordingHost&)> atYield = {}) {
    test::RecordingHost host(mode);
    if (atYield) host.onYield = [&](int) { atYield(host); };
    FolderWalker(host).ScanFolder(tree.rootPath());
    return host;
}

// B is removed, or replaced by a link to a folder elsewhere, at the yield of its own visit,
// after A was listed. Either way B is not there any more: not shown, not listed, not entered.
void expectVanishedFolderSkipped(const std::function<void(const test::TempTree&)>& change) {
    for (int mode = 0; mode <= 2; ++mode) {
        test::TempTree tree({"x:1", "A/f:1", "A/B/C/", "A/B/D/E/"});
        bool changed = false;
        const auto host = walk(tree, mode, [&](test::RecordingHost& host) {
            if (changed || host.captions.empty() || host.captions.back() != tree.path("A")) return;
            change(tree);
            changed = true;
        });
        ASSERT_TRUE(changed);
        EXPECT_TRUE(test::sameLines({}, host.entries)) << "mode " << mode;
        EXPECT_TRUE(test::sameLines({tree.rootPath(), tree.path("A")}, host.captions));
        EXPECT_EQ(host.yields, 3) << "root, A and B each yield once, nothing below B";
    }
}

TEST(FolderWalker, FolderRemovedBeforeItsVisitIsSkippedWithItsSubtree) {
    expectVanishedFolderSkipped(
        [](const test::TempTree& tree) { std::filesystem::remove_all(tree.path("A/B")); });
}

TEST(FolderWalker, FolderReplacedByALinkBeforeItsVisitIsNotFollowed) {
    test::TempTree elsewhere({"X/Y/"});
    // A relative target: an absolute one would also be refused as a jump to another mount.
    const std::string target =
        "../../" + std::filesystem::path(elsewhere.root()).filename().string();
    expectVanishedFolderSkipped([&](const test::TempTree& tree) {
        std::filesystem::rename(tree.path("A/B"), tree.path("A/gone"));
        std::filesystem::create_directory_symlink(target, tree.path("A/B"));
    });
}

// A link counts as a file with its own length, whatever it points to, and is never followed;
// a FIFO is a file of length 0. Sorted: the root's folders come in the file system's order.
TEST(FolderWalker, LinksAndFifosAreFilesAndLinksAreNeverFollowed) {
    test::TempTree tree({"x:1", "A/toB -> ../B", "B/C/", "L/loop -> loop", "P/pipe|"});
    const std::array<Lines, 3> expected = {Lines{tree.path("B/C")},
                                           Lines{"*** " + tree.path("P"), "*** " + tree.path("B")},
                                           Lines{tree.path("B/C")}};
    for (int mode = 0; mode <= 2; ++mode) {
        const auto host = walk(tree, mode);
        EXPECT_TRUE(test::sameLines(sorted(expected[mode]), sorted(host.entries))) << mode;
        for (const std::string& caption : host.captions)
            EXPECT_EQ(caption.find("toB"), std::string::npos) << caption;
    }
}

// Entries hold the names' bytes as the file system has them. Sorted, as above.
TEST(FolderWalker, NamesThatAreNotUtf8OrHoldANewlineAreListedByteExact) {
    test::TempTree tree({"x:1", "\xff\xfe/", "new\nline/", "\x80/\xc3(:0"});
    EXPECT_TRUE(test::sameLines(sorted({tree.path("\xff\xfe"), tree.path("new\nline")}),
                                sorted(walk(tree, 0).entries)));
    EXPECT_TRUE(test::sameLines(
        sorted({tree.path("\xff\xfe"), tree.path("new\nline"), "*** " + tree.path("\x80")}),
        sorted(walk(tree, 1).entries)));
}

// Undoes a mount when the test ends, however it ends.
struct MountedAt {
    std::string folder;
    ~MountedAt() { test::unmount(folder); }
};

// A/M is the mount point of another file system holding an empty folder and a zero-length
// file. M counts as a subfolder of A that makes A's size unreadable (A has no files: marked in
// mode 2, not zero-size in mode 1), but it is never entered, shown or listed. Sorted captions:
// M and E come in the file system's order.
void expectMountPointNotEntered(test::TempTree& tree) {
    tree.add("A/M/inner/");  // on the mounted file system
    tree.add("A/M/z:0");
    const std::array<Lines, 3> expected = {Lines{tree.path("A/E")}, Lines{tree.path("A/E")},
                                           Lines{"*** " + tree.path("A"), tree.path("A/E")}};
    for (int mode = 0; mode <= 2; ++mode) {
        const auto host = walk(tree, mode);
        EXPECT_TRUE(test::sameLines(expected[mode], host.entries)) << "mode " << mode;
        EXPECT_TRUE(test::sameLines({tree.rootPath(), tree.path("A"), tree.path("A/E")},
                                    sorted(host.captions)));
    }
}

TEST(FolderWalker, TmpfsMountedInsideTheTreeIsNotEntered) {
    test::TempTree tree({"x:1", "A/M/", "A/E/"});
    std::string why;
    if (!test::mountTmpfs(tree.path("A/M"), why)) GTEST_SKIP() << why;
    MountedAt mounted{tree.path("A/M")};
    expectMountPointNotEntered(tree);
}

// A bind mount shares the device number of the folders around it; it is still another mount.
TEST(FolderWalker, BindMountOfTheSameFileSystemIsNotEntered) {
    test::TempTree tree({"x:1", "A/M/", "A/E/"});
    test::TempTree source;
    if (mount(source.root().c_str(), tree.path("A/M").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    MountedAt mounted{tree.path("A/M")};
    expectMountPointNotEntered(tree);
}

// A walk reused after the tree changed answers from the tree as it is now.
TEST(FolderWalker, SecondWalkSeesTheTreeAsItIsNow) {
    test::TempTree tree({"A/B/C/", "A/z:0"});
    test::RecordingHost host(1);
    FolderWalker walker(host);
    walker.ScanFolder(tree.rootPath());
    ASSERT_TRUE(test::sameLines({"*** " + tree.rootPath()}, host.entries));
    tree.add("A/B/C/f:1");
    host.entries.clear();
    walker.ScanFolder(tree.rootPath());
    EXPECT_TRUE(test::sameLines({}, host.entries));
}

// Two chains of folders "d", longer than PATH_MAX: `emptyDepth` empty ones (20,000 make a path
// of 40,000 bytes), and 3,000 with a 1-byte file at the bottom, which mode 2 lists all but the
// last of, marked.
struct Chains {
    static constexpr int kFullDepth = 3000;
    test::TempTree empty, full;
    std::array<Lines, 3> expectedEmpty, expectedFull;

    explicit Chains(int emptyDepth) {
        empty.addChain("", emptyDepth, "d");
        full.addChain("", kFullDepth, "d", "f", 1);
        std::string leaf = empty.root();
        for (int i = 0; i < emptyDepth; ++i) leaf += "/d";
        expectedEmpty = {Lines{leaf}, Lines{"*** " + empty.rootPath()}, Lines{leaf}};
        std::string folder = full.root();
        expectedFull[2].push_back("*** " + full.rootPath());
        for (int i = 1; i < kFullDepth; ++i) expectedFull[2].push_back("*** " + (folder += "/d"));
    }

    // The number of walks that went wrong, after printing what differs (also in a child).
    int failures() const {
        int failures = 0;
        for (int mode = 0; mode <= 2; ++mode) {
            for (const auto* chain : {&empty, &full}) {
                const auto& expected = chain == &empty ? expectedEmpty : expectedFull;
                const auto same = test::sameLines(expected[mode], walk(*chain, mode).entries);
                if (same) continue;
                std::fprintf(stderr, "mode %d: %s\n", mode, same.message());
                ++failures;
            }
        }
        return failures;
    }
};

TEST(FolderWalker, ChainsLongerThanPathMaxAreWalkedToTheBottom) {
    EXPECT_EQ(Chains(20000).failures(), 0);
}

// Folders far deeper than the descriptors a process may hold are still reached and classified.
TEST(FolderWalker, ChainsAreWalkedUnderALowDescriptorLimit) {
    const Chains chains(3000);
    EXPECT_EQ(test::runInChild([&] {
                  const rlimit limit{64, 64};
                  return setrlimit(RLIMIT_NOFILE, &limit) == 0 ? chains.failures() : 100;
              }),
              0);
}

// A chain with an empty side folder at each level and a 1-byte file at the bottom: sizes are
// asked at every level, yet each folder is read a bounded number of times.
TEST(FolderWalker, FoldersAreReadABoundedNumberOfTimesWhateverTheDepth) {
    constexpr int kDepth = 300;
    test::TempTree tree;
    std::string level;
    for (int i = 0; i < kDepth; ++i) {
        tree.add(level + "e/");
        level += "d/";
    }
    tree.add(level + "f:1");
    const std::size_t folders = 2 * kDepth + 1;
    for (int mode = 1; mode <= 2; ++mode) {
        test::RecordingHost host(mode);
        FolderWalker walker(host);
        walker.ScanFolder(tree.rootPath());
        const WalkCounters counters = walker.counters();
        EXPECT_EQ(counters.foldersOpened, folders) << "mode " << mode;
        EXPECT_LE(counters.directoryReads, 6 * folders) << "mode " << mode;
        EXPECT_LE(counters.probeOpens, 2 * folders) << "mode " << mode;
    }
}

}  // namespace
}  // namespace voidbroom
