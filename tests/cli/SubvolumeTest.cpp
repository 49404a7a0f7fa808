// btrfs subvolumes on a real btrfs image: a subvolume is another file system to --delete and
// to --trash, as a mount point is, though nothing is mounted there.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/Subvolumes.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;
using test::sorted;
using test::Subvolumes;

Lines linesOf(const std::string& text) {
    Lines lines;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

// Given on the command line, a subvolume, or a folder inside one, is walked like any folder,
// and what is listed in it is deleted; a subvolume inside it is another file system again.
TEST_F(Subvolumes, TheFolderGivenMayBeASubvolumeOrInsideOne) {
    ASSERT_NO_FATAL_FAILURE(
        build({"sv", "sv/inner/nested"}, {"sv/e/", "sv/zz/z:0", "sv/inner/f:1", "sv/inner/e2/",
                                          "sv/inner/nested/e3/", "sv/inner/nested/z:0"}));
    const test::Outcome inside = test::runCommand({"--mode", "1", at("sv/inner")});
    EXPECT_EQ(inside.status, 0) << inside.err;
    EXPECT_EQ(inside.out, at("sv/inner/e2") + "\n");

    const test::Outcome deleted = test::runCommand({"--delete", "--mode", "1", at("sv")});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(deleted.err, "");
    EXPECT_EQ(sorted(linesOf(deleted.out)),
              sorted({at("sv/e"), at("sv/inner/e2"), "*** " + at("sv/zz")}));
    for (const std::string gone : {"sv/e", "sv/inner/e2", "sv/zz"})
        EXPECT_FALSE(test::exists(at(gone))) << gone;
    EXPECT_TRUE(isSubvolume(at("sv/inner/nested")));
    EXPECT_EQ(test::namesIn(at("sv/inner/nested")), (Lines{"e3", "z"}));
    EXPECT_EQ(test::namesIn(at("sv")), (Lines{"inner"}));
}

// Deleting a folder that holds a subvolume stops at the subvolume and says so: the subvolume
// stays with all that is in it, empty or not, and so does the folder; the run ends with 1.
// What else was listed still goes.
TEST_F(Subvolumes, DeletingNeverReachesIntoASubvolumeNorRemovesOne) {
    ASSERT_NO_FATAL_FAILURE(build({"keep/sv", "bare/empty-sv", "lone-sv"},
                                  {"x:1", "keep/sv/data:5", "keep/sv/e/", "keep/gone/"}));
    const test::Outcome outcome = test::runCommand({"--delete", "--mode", "2", at("")});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, at("keep/gone") + "\n");
    for (const std::string subvolume : {"keep/sv", "bare/empty-sv"}) {
        const std::string holder = subvolume.substr(0, subvolume.find('/'));
        EXPECT_NE(outcome.err.find("voidbroom-scan: cannot delete '" + at(holder) +
                                   "': " + at(subvolume) + ": it is on another file system"),
                  std::string::npos)
            << outcome.err;
    }
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 2) << outcome.err;
    EXPECT_FALSE(test::exists(at("keep/gone")));
    for (const std::string subvolume : {"keep/sv", "bare/empty-sv", "lone-sv"})
        EXPECT_TRUE(isSubvolume(at(subvolume))) << subvolume;
    EXPECT_EQ(test::contentOf(at("keep/sv/data")), "xxxxx");
    EXPECT_TRUE(test::exists(at("keep/sv/e")));
    EXPECT_TRUE(test::namesIn(at("bare/empty-sv")).empty());
}

// A folder in a subvolume goes only to a home trash in the same subvolume: the trash at the
// top of the drive's mount is on another device, and a subvolume's top is no place a trash's
// reader looks. With the home trash elsewhere it stays, told why, and no trash is made
// anywhere; a folder on the drive's own top level goes to the drive's trash meanwhile.
TEST_F(Subvolumes, AFolderInASubvolumeGoesOnlyToAHomeTrashInTheSameSubvolume) {
    ASSERT_NO_FATAL_FAILURE(build({"sv"}, {"x:1", "sv/e/", "sv/y:1", "top/e2/", "top/f:1"}));
    setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
    const test::Outcome kept = test::runCommand({"--trash", at("sv"), at("")});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.out, at("top/e2") + "\n");
    EXPECT_TRUE(kept.err.starts_with("voidbroom-scan: cannot trash '" + at("sv/e") +
                                     "': no trash can be used"))
        << kept.err;
    EXPECT_EQ(std::count(kept.err.begin(), kept.err.end(), '\n'), 1) << kept.err;
    EXPECT_EQ(test::namesIn(at("sv")), (Lines{"e", "y"}));
    EXPECT_TRUE(test::namesIn(tree.path("data")).empty());
    const std::string trashName = ".Trash-" + std::to_string(geteuid());
    const std::string driveTrash = at(trashName);
    EXPECT_EQ(test::namesIn(at("")), (Lines{trashName, "sv", "top", "x"}));
    EXPECT_TRUE(test::exists(driveTrash + "/files/e2"));
    EXPECT_NE(test::contentOf(driveTrash + "/info/e2.trashinfo").find("\nPath=top/e2\n"),
              std::string::npos);

    setenv("XDG_DATA_HOME", at("sv/data").c_str(), 1);
    const test::Outcome moved = test::runCommand({"--trash", at("sv")});
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(moved.status, 0) << moved.err;
    EXPECT_EQ(moved.out, at("sv/e") + "\n");
    EXPECT_TRUE(test::exists(at("sv/data/Trash/files/e")));
    EXPECT_NE(test::contentOf(at("sv/data/Trash/info/e.trashinfo")).find("\nPath=" + at("sv/e")),
              std::string::npos);
}

}  // namespace
}  // namespace voidbroom
