// On an overlay (a read-only lower folder under a writable upper one, as containers and live
// systems use) --delete and --trash change only the upper layer.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/Overlay.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;
using test::Overlay;
using test::sorted;

// Every path below `root`, with what it is and a file's length, to tell a layer unchanged.
Lines everythingIn(const std::string& root) {
    namespace fs = std::filesystem;
    Lines lines;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const fs::file_status status = entry.symlink_status();
        std::string line = entry.path().string().substr(root.size());
        if (fs::is_regular_file(status)) line += ":" + std::to_string(fs::file_size(entry.path()));
        if (fs::is_directory(status)) line += "/";
        lines.push_back(line);
    }
    return sorted(lines);
}

// --delete takes what it lists out of the merged folder, in every mode, whichever layer it is
// in; nested entries (mode 2) and a deletion deeper than the folders it may hold open (mode
// 1) included, though the overlay copies a lower folder up to the upper layer, with a new
// birth time, when something in it is removed first. The lower layer is never changed.
TEST(Overlay, DeleteTakesListedFoldersOutOfTheMergedFolderAndLeavesTheLowerLayer) {
    for (int mode = 0; mode <= 2; ++mode) {
        Overlay overlay(
            {"x:1", "A/B/", "A/C/f:1", "D/z:0", "D/E/", "F/G/y:0", "N/d/d/", "M/k:1", "deep/"},
            {"U/e/", "M/V/"});
        MOUNT_OR_SKIP(overlay);
        overlay.tree.addChain("lower/deep", 100, "d", "z", 0);
        const Lines lowerBefore = everythingIn(overlay.tree.path("lower"));
        const Lines listed = test::walk(overlay.merged(""), mode).entries;
        ASSERT_GE(listed.size(), 3u) << mode;

        setenv("XDG_DATA_HOME", overlay.tree.path("data").c_str(), 1);
        const test::Outcome outcome =
            test::runCommand({"--delete", "--mode", std::to_string(mode), overlay.merged("")});
        unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(outcome.status, 0) << "mode " << mode << "\n" << outcome.err;
        EXPECT_EQ(outcome.err, "") << "mode " << mode;
        std::string printed;
        for (const std::string& entry : listed) {
            printed.insert(0, entry + "\n");
            const std::string path = entry.substr(entry.starts_with("*** ") ? 4 : 0);
            EXPECT_FALSE(test::exists(path)) << path;
        }
        EXPECT_EQ(outcome.out, printed);
        EXPECT_EQ(everythingIn(overlay.tree.path("lower")), lowerBefore) << "mode " << mode;
        EXPECT_EQ(test::contentOf(overlay.merged("x")), "x");
        EXPECT_EQ(test::contentOf(overlay.merged("M/k")), "x");
    }
}

// A folder of the lower layer cannot be renamed where the overlay does not record renames
// (the kernel answers EXDEV): moved to the trash it either goes, or stays where it was,
// told; nothing is lost either way, and no trash entry is left for what stayed. A folder
// made in the upper layer goes to the trash at the overlay's top.
TEST(Overlay, TrashedFoldersGoToTheOverlaysTrashOrStayWhereTheyWere) {
    Overlay overlay({"x:1", "low/e/", "low/f:1", "mid/m:1", "deep/er/est/"});
    MOUNT_OR_SKIP(overlay);
    std::filesystem::create_directories(overlay.merged("mid/new"));
    std::filesystem::create_directories(overlay.merged("up"));
    const Lines lowerBefore = everythingIn(overlay.tree.path("lower"));
    const Lines listed = test::walk(overlay.merged(""), 0).entries;
    ASSERT_EQ(sorted(listed), sorted({overlay.merged("low/e"), overlay.merged("mid/new"),
                                      overlay.merged("up"), overlay.merged("deep/er/est")}));

    setenv("XDG_DATA_HOME", overlay.tree.path("data").c_str(), 1);
    const test::Outcome outcome = test::runCommand({"--trash", overlay.merged("")});
    unsetenv("XDG_DATA_HOME");
    const std::string trash = overlay.merged(".Trash-" + std::to_string(geteuid()));
    int stayed = 0;
    for (const std::string& path : listed) {
        const std::string name = std::filesystem::path(path).filename();
        const bool moved = outcome.out.find(path + "\n") != std::string::npos;
        const bool told =
            outcome.err.find("cannot trash '" + path + "': it cannot be moved to " + trash +
                             ": its file system cannot move it there") != std::string::npos;
        EXPECT_NE(moved, told) << path << "\n" << outcome.err;
        EXPECT_EQ(test::exists(path), !moved) << path;
        EXPECT_EQ(test::exists(trash + "/files/" + name), moved) << path;
        EXPECT_EQ(test::exists(trash + "/info/" + name + ".trashinfo"), moved) << path;
        stayed += !moved;
    }
    EXPECT_EQ(outcome.status, stayed > 0 ? 1 : 0);
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), stayed) << outcome.err;
    EXPECT_FALSE(test::exists(overlay.merged("mid/new")));
    EXPECT_FALSE(test::exists(overlay.merged("up")));
    EXPECT_EQ(everythingIn(overlay.tree.path("lower")), lowerBefore);
    EXPECT_TRUE(test::namesIn(overlay.tree.path("data")).empty());
}

}  // namespace
}  // namespace voidbroom
