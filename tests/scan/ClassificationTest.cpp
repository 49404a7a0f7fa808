// The listing rule in each mode, on the smallest trees that tell a right walk from a wrong
// one. Where a folder holds several subfolders, their order is the file system's; each case
// is built so that at most one entry can come from below a folder that has several.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tests/support/Compare.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

// Writes the tree's root as "R" in each line.
Lines shortened(const test::TempTree& tree, Lines lines) {
    for (std::string& line : lines) {
        const auto at = line.find(tree.root());
        if (at != std::string::npos) line.replace(at, tree.root().size(), "R");
    }
    return lines;
}

Lines entriesOf(const test::TempTree& tree, int mode) {
    return shortened(tree, test::scanEntries(tree.rootPath(), mode));
}

// Expected entries for modes 0, 1 and 2, checked in that order.
void expectModes(const std::vector<std::string>& items, const std::array<Lines, 3>& expected) {
    test::TempTree tree(items);
    for (int mode = 0; mode <= 2; ++mode)
        EXPECT_TRUE(test::sameLines(expected[mode], entriesOf(tree, mode))) << "mode " << mode;
}

TEST(Classification, EmptyRootIsOnePlainEntryWithItsFinalSlash) {
    expectModes({}, {Lines{"R/"}, Lines{"R/"}, Lines{"R/"}});
}

TEST(Classification, ZeroSizeRootIsMarkedInModeOneAndNotEntered) {
    expectModes({"A/B/", "A/f:0"}, {Lines{"R/A/B"}, Lines{"*** R/"}, Lines{"R/A/B"}});
}

// The 1-byte file at the root keeps the root itself out of these cases.
TEST(Classification, FolderHoldingOnlyAnEmptyFolder) {
    expectModes({"x:1", "A/B/"}, {Lines{"R/A/B"}, Lines{"*** R/A"}, Lines{"R/A/B"}});
}

TEST(Classification, FolderHoldingOnlyZeroLengthFiles) {
    expectModes({"x:1", "A/f:0", "A/g:0"}, {Lines{}, Lines{"*** R/A"}, Lines{}});
}

TEST(Classification, FolderWithoutFilesOverANonEmptyFolderIsMarkedInModeTwo) {
    expectModes({"x:1", "A/B/f:1"}, {Lines{}, Lines{}, Lines{"*** R/A"}});
}

// Entries come in pre-order: A before B although only C, found last, decides both.
TEST(Classification, ChainOfFoldersWithoutFilesIsMarkedTopDownInModeTwo) {
    expectModes({"x:1", "A/B/C/f:1"}, {Lines{}, Lines{}, Lines{"*** R/A", "*** R/A/B"}});
}

TEST(Classification, EmptyFolderBesideANonEmptyFileIsPlainInEveryMode) {
    expectModes({"x:1", "A/f:1", "A/B/"}, {Lines{"R/A/B"}, Lines{"R/A/B"}, Lines{"R/A/B"}});
}

// A marked folder is descended into in mode 2: its strictly empty subfolder follows it.
TEST(Classification, ModeTwoListsWhatIsBelowAMarkedFolder) {
    expectModes({"x:1", "A/B/f:1", "A/C/D/"},
                {Lines{"R/A/C/D"}, Lines{"*** R/A/C"}, Lines{"*** R/A", "R/A/C/D"}});
}

// Walks as "nobody", for whom permissions count even when the tests run as root, and checks
// the entries and the captions (sorted: they hold siblings in the file system's order) of
// each mode. Differences are printed by the child; the test sees their number.
void expectAsNobody(const test::TempTree& tree, const std::array<Lines, 3>& expected,
                    const Lines& sortedCaptions) {
    const int failures = test::runUnprivileged([&] {
        int failures = 0;
        for (int mode = 0; mode <= 2; ++mode) {
            test::RecordingHost host(mode);
            FolderWalker(host).ScanFolder(tree.rootPath());
            Lines captions = shortened(tree, host.captions);
            std::sort(captions.begin(), captions.end());
            const std::string difference =
                test::lineDifference(expected[mode], shortened(tree, host.entries)) +
                test::lineDifference(sortedCaptions, captions);
            if (difference.empty()) continue;
            std::fprintf(stderr, "mode %d:\n%s", mode, difference.c_str());
            ++failures;
        }
        return failures;
    });
    EXPECT_EQ(failures, 0);
}

// U cannot be opened, so A's size cannot be read: A (no files) is marked in mode 2 and is not
// zero-size in mode 1. A is descended into in every mode; U is shown but never entered.
TEST(Classification, FolderWithAnUnreadableSubfolderIsNotZeroSize) {
    test::TempTree tree({"x:1", "A/U/inner/", "A/E/"});
    ASSERT_EQ(chmod(tree.path("A/U").c_str(), 0), 0);
    expectAsNobody(tree, {Lines{"R/A/E"}, Lines{"R/A/E"}, Lines{"*** R/A", "R/A/E"}},
                   {"R/", "R/A", "R/A/E", "R/A/U"});
}

// A may be listed but not searched: its subfolder S is counted but cannot be opened, or even
// seen to exist, so S is neither shown nor listed, and A's size cannot be read.
TEST(Classification, FolderThatCanBeListedButNotSearched) {
    test::TempTree tree({"x:1", "A/S/"});
    ASSERT_EQ(chmod(tree.path("A").c_str(), 0444), 0);
    expectAsNobody(tree, {Lines{}, Lines{}, Lines{"*** R/A"}}, {"R/", "R/A"});
}

}  // namespace
}  // namespace voidbroom
