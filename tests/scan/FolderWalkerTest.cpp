// The walk on trees that go wrong in real life: folders that change under it, other file
// systems, depth. (Links, FIFOs and odd names are in the reference walk's random trees.)
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

Lines sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// B is removed, or replaced by a link to a folder elsewhere, at the yield of its own visit,
// after A was listed. Either way B is not there any more: not shown, not listed, not entered.
TEST(FolderWalker, FolderRemovedOrReplacedByALinkBeforeItsVisitIsSkippedWithItsSubtree) {
    test::TempTree elsewhere({"X/Y/"});
    // A relative target: an absolute one would also be refused as a jump to another mount.
    const std::string target =
        "../../" + std::filesystem::path(elsewhere.root()).filename().string();
    for (const bool byLink : {false, true}) {
        for (int mode = 0; mode <= 2; ++mode) {
            test::TempTree tree({"x:1", "A/f:1", "A/B/C/", "A/B/D/E/"});
            test::RecordingHost host(mode, /*threads=*/1);  // the tree changes from its yields
            bool changed = false;
            host.onYield = [&](int) {
                if (changed || host.captions.empty() || host.captions.back() != tree.path("A"))
                    return;
                changed = true;
                if (byLink) {
                    std::filesystem::rename(tree.path("A/B"), tree.path("A/gone"));
                    std::filesystem::create_directory_symlink(target, tree.path("A/B"));
                } else {
                    std::filesystem::remove_all(tree.path("A/B"));
                }
            };
            host.walk(tree.rootPath());
            ASSERT_TRUE(changed);
            EXPECT_EQ(host.entries, Lines{}) << "mode " << mode;
            EXPECT_EQ(host.captions, (Lines{tree.rootPath(), tree.path("A")}));
            EXPECT_EQ(host.yields, 3) << "root, A and B each yield once, nothing below B";
        }
    }
}

// A/M is the mount point of another file system (a tmpfs, or a bind mount that shares the
// device number of the folders around it) holding an empty folder and a zero-length file. M
// makes A's size unreadable (A has no files: marked in mode 2, not zero-size in mode 1), but
// it is never entered, shown or listed. Sorted captions: M and E come in the file system's order.
TEST(FolderWalker, AMountPointInsideTheTreeIsNeverEntered) {
    for (const bool bind : {false, true}) {
        test::TempTree tree({"x:1", "A/M/", "A/E/"}), source;
        std::string why;
        if (bind &&
            mount(source.root().c_str(), tree.path("A/M").c_str(), nullptr, MS_BIND, nullptr) != 0)
            GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
        if (!bind && !test::mountTmpfs(tree.path("A/M"), why)) GTEST_SKIP() << why;
        const test::MountedAt mounted{tree.path("A/M")};
        tree.add("A/M/inner/");
        tree.add("A/M/z:0");
        const std::array<Lines, 3> expected = {Lines{tree.path("A/E")}, Lines{tree.path("A/E")},
                                               Lines{"*** " + tree.path("A"), tree.path("A/E")}};
        for (int mode = 0; mode <= 2; ++mode) {
            const auto host = test::walk(tree.rootPath(), mode);
            EXPECT_EQ(host.entries, expected[mode]) << "mode " << mode << ", bind " << bind;
            EXPECT_EQ(sorted(host.captions),
                      (Lines{tree.rootPath(), tree.path("A"), tree.path("A/E")}));
        }
    }
}

// Two chains of folders "d", far longer than PATH_MAX, walked with 64 descriptors at most:
// 20,000 empty ones (a path of 40,000 bytes), and 3,000 with a 1-byte file at the bottom,
// which mode 2 lists all but the last of, marked.
TEST(FolderWalker, ChainsLongerThanPathMaxAreWalkedToTheBottomUnderALowDescriptorLimit) {
    test::TempTree empty, full;
    empty.addChain("", 20000, "d");
    full.addChain("", 3000, "d", "f", 1);
    std::string leaf = empty.root(), folder = full.root();
    for (int i = 0; i < 20000; ++i) leaf += "/d";
    const std::array<Lines, 3> expectedEmpty = {Lines{leaf}, Lines{"*** " + empty.rootPath()},
                                                Lines{leaf}};
    std::array<Lines, 3> expectedFull = {Lines{}, Lines{}, Lines{"*** " + full.rootPath()}};
    for (int i = 1; i < 3000; ++i) expectedFull[2].push_back("*** " + (folder += "/d"));
    EXPECT_EQ(test::runInChild([&] {
                  const rlimit limit{64, 64};
                  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 100;
                  int failures = 0;
                  for (int mode = 0; mode <= 2; ++mode) {
                      for (const auto& [chain, expected] :
                           {std::pair{&empty, &expectedEmpty}, {&full, &expectedFull}}) {
                          const std::string difference = test::lineDifference(
                              (*expected)[mode], test::walk(chain->rootPath(), mode).entries);
                          if (!difference.empty())
                              std::fprintf(stderr, "mode %d: %s\n", mode, difference.c_str());
                          failures += !difference.empty();
                      }
                  }
                  return failures;
              }),
              0);
}

// The counters of one walk of `root` in `mode` with `threads` readers, engaged from the start.
WalkCounters countersOfWalk(const std::string& root, int mode, unsigned threads) {
    test::RecordingHost host(mode);
    FolderWalker walker(host);
    walker.setThreads(threads, std::chrono::nanoseconds(0));
    walker.ScanFolder(root, mode);
    return walker.counters();
}

// A chain with an empty side folder at each level and a 1-byte file at the bottom: sizes are
// asked at every level, yet each folder is read a bounded number of times.
TEST(FolderWalker, FoldersAreReadABoundedNumberOfTimesWhateverTheDepth) {
    constexpr std::size_t kDepth = 300, kFolders = 2 * kDepth + 1;
    test::TempTree tree;
    std::string level;
    for (std::size_t i = 0; i < kDepth; ++i, level += "d/") tree.add(level + "e/");
    tree.add(level + "f:1");
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        for (int mode = 1; mode <= 2; ++mode) {
            const WalkCounters counters = countersOfWalk(tree.rootPath(), mode, threads);
            EXPECT_EQ(counters.foldersOpened, kFolders) << "mode " << mode;
            EXPECT_LE(counters.directoryReads, 6 * kFolders) << "mode " << mode;
            EXPECT_LE(counters.probeOpens, 2 * kFolders) << "mode " << mode;
        }
    }
}

// Where the file system marks the end of a listing, the walk, its readers and the size
// question each list a small folder in one call.
TEST(FolderWalker, SmallFoldersAreListedInOneCallWhereTheEndIsMarked) {
    test::TempTree tree({"a/b/f:0", "a/c/", "d/e/g:1", "d/h:0", "k/"});
    if (!test::endOfListingMarked(tree.root())) {
        std::printf("the temporary folder's file system marks no end of a listing\n");
        return;
    }
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        for (int mode = 0; mode <= 2; ++mode) {
            const WalkCounters counters = countersOfWalk(tree.rootPath(), mode, threads);
            EXPECT_EQ(counters.directoryReads, counters.opens)
                << "mode " << mode << ", threads " << threads;
        }
    }
}

// Reading ahead, the size question of mode 1 uses the listings the walk reads anyway: every
// folder is opened once. (Read when entered, the question opens the folders below again.)
TEST(FolderWalker, ReadingAheadMode1OpensEachFolderOnce) {
    constexpr std::size_t kDepth = 60, kFolders = 2 * kDepth + 1;
    test::TempTree tree;
    std::string level;
    for (std::size_t i = 0; i < kDepth; ++i, level += "d/") tree.add(level + "e/z:0");
    tree.add(level + "f:1");
    test::RecordingHost serial(1, 1), ahead(1);
    FolderWalker serialWalker(serial, 1), aheadWalker(ahead);
    aheadWalker.setThreads(kDefaultReadAheadThreads, std::chrono::nanoseconds(0));
    serialWalker.ScanFolder(tree.rootPath(), 1);
    aheadWalker.ScanFolder(tree.rootPath(), 1);
    EXPECT_EQ(ahead.entries, serial.entries);
    EXPECT_EQ(aheadWalker.counters().opens, kFolders);
    EXPECT_EQ(aheadWalker.counters().probeOpens, 0u);
    EXPECT_GT(serialWalker.counters().opens, kFolders);
}

// Mode 1 keeps each size it found only for the visit that takes it: nothing below a folder
// found zero-size, which the walk lists without entering, is kept, so nothing is left at the
// end of a walk, with or without reading ahead.
TEST(FolderWalker, Mode1KeepsNoSizeThatNoVisitTakes) {
    test::TempTree tree({"Z/a/b/c/z:0", "Z/a/d/", "Z/e/y:0", "N/a/b/f:1", "N/a/c/d/", "N/g/",
                         "N/h/i/x:0", "M/p/q/", "M/r/s:2", "M/t/u/v/"});
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        test::RecordingHost host(1);
        FolderWalker walker(host);
        walker.setThreads(threads, std::chrono::nanoseconds(0));
        walker.ScanFolder(tree.rootPath(), 1);
        EXPECT_EQ(sorted(host.entries),
                  sorted({"*** " + tree.path("Z"), "*** " + tree.path("N/a/c"), tree.path("N/g"),
                          "*** " + tree.path("N/h"), "*** " + tree.path("M/p"),
                          "*** " + tree.path("M/t")}))
            << threads;
        EXPECT_EQ(walker.counters().sizesHeld, 0u) << threads;
    }
}

// A folder read ahead and changed before its visit is classified as it was read: B held a
// file when the readers read it, so B is not listed although it is empty when visited. Read
// when entered, B is listed. (The readers have B well before the pause in A's yield ends.)
TEST(FolderWalker, AFolderChangedAfterItWasReadAheadIsClassifiedAsRead) {
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        test::TempTree tree({"x:1", "A/B/f:1", "A/y:1"});
        test::RecordingHost host(0, threads);
        host.onYield = [&](int) {
            if (host.captions.empty() || host.captions.back() != tree.path("A")) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::filesystem::remove(tree.path("A/B/f"));
        };
        host.walk(tree.rootPath());
        EXPECT_EQ(host.entries, threads == 1 ? Lines{tree.path("A/B")} : Lines{})
            << threads << " threads";
        EXPECT_EQ(host.captions, (Lines{tree.rootPath(), tree.path("A"), tree.path("A/B")}));
    }
}

// What the user put in a trash is not listed again: the home trash and the drive's trashes
// at its top count as content, in every mode, and the folders holding them are not empty.
TEST(FolderWalker, TrashFoldersCountAsContentAndAreNotEntered) {
    test::TempTree tree({"home/f:1", "home/data/Trash/files/old/", "home/data/Trash/info/",
                         "home/e/", "drive/x:1"});
    const auto entriesOf = [&](const std::string& root, int mode) {
        test::RecordingHost host(mode);
        FolderWalker walker(host);
        walker.setTrashPlaces({tree.path("home/data/Trash"), geteuid()});
        walker.ScanFolder(root, mode);
        return host.entries;
    };
    for (int mode = 0; mode <= 2; ++mode)
        EXPECT_EQ(entriesOf(tree.path("home/"), mode), Lines{tree.path("home/e")})
            << "mode " << mode;

    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs drive needs root";
    test::TmpfsMount drive(tree.path("drive"));
    if (!drive.mounted) GTEST_SKIP() << drive.why;
    tree.add("drive/.Trash-1000/files/a/");
    tree.add("drive/.Trash/0/files/b/");
    tree.add("drive/d/.Trash-5/");  // only at the drive's top is it a trash
    const Lines expected[] = {{tree.path("drive/d/.Trash-5")},
                              {"*** " + tree.path("drive/d")},
                              {tree.path("drive/d/.Trash-5")}};
    for (int mode = 0; mode <= 2; ++mode)
        EXPECT_EQ(entriesOf(tree.path("drive") + "/", mode), expected[mode]) << "mode " << mode;
}

}  // namespace
}  // namespace voidbroom
