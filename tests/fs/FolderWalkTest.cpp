#include "fs/FolderWalk.h"

#include <gtest/gtest.h>

#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// Readers are engaged only where folders take long to read: never on this disk with a
// threshold of an hour, from the first folder on with none; never with one thread.
TEST(FolderWalk, ReadersAreEngagedOnlyWhereFoldersAreSlowToRead) {
    test::TempTree tree({"a/b/", "a/c/", "d/"});
    const auto engagedAtRoot = [&](unsigned threads, std::chrono::nanoseconds engageAbove) {
        FolderWalk walk;
        walk.setThreads(threads, engageAbove);
        EXPECT_TRUE(walk.start(tree.root(), FollowLinks::No).opened());
        return walk.readingAhead();
    };
    EXPECT_FALSE(engagedAtRoot(8, std::chrono::hours(1)));
    EXPECT_TRUE(engagedAtRoot(8, std::chrono::nanoseconds(0)));
    EXPECT_FALSE(engagedAtRoot(1, std::chrono::nanoseconds(0)));
}

// What readers read ahead is what the walk would read itself: the same folders, listings and
// identities, in the same order, however many threads.
TEST(FolderWalk, FoldersReadAheadAreTheFoldersReadWhenEntered) {
    test::TempTree tree({"a/b/f:1", "a/b/g:0", "a/c/", "a/h:3", "d/e/z/", "d/l -> a", "p|"});
    const auto walked = [&](unsigned threads) {
        FolderWalk walk(ListingOptions{.fileNames = true, .fileLengths = true});
        walk.setThreads(threads, std::chrono::nanoseconds(0));
        std::string seen;
        const auto note = [&] {
            seen += walk.path() + " files=" + std::to_string(walk.listing().files) +
                    " length=" + std::to_string(static_cast<int>(walk.listing().filesLength)) +
                    " subs=" + std::to_string(walk.subfolderCount()) +
                    (walk.identity() == FolderIdentity{} ? " no identity" : "") + "\n";
            if (walk.subfolderCount() > 0) walk.descend();
        };
        EXPECT_TRUE(walk.start(tree.root(), FollowLinks::No).opened());
        note();
        while (!walk.done()) {
            if (!walk.take()) {
                walk.leave();
                continue;
            }
            if (walk.enter().opened()) note();
        }
        return seen;
    };
    const std::string serial = walked(1);
    EXPECT_EQ(std::count(serial.begin(), serial.end(), '\n'), 7);
    EXPECT_EQ(walked(2), serial);
    EXPECT_EQ(walked(kDefaultReadAheadThreads), serial);
}

}  // namespace
}  // namespace voidbroom
