// Drives that refuse changes: a read-only file system and a full one. Whatever cannot be done
// is reported, with status 1, and nothing is lost or half done.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::exists;
using test::Outcome;

// Runs voidbroom-scan with the home trash in `home`, on another file system than the drive.
Outcome runWithHomeTrashIn(const std::string& home, std::vector<std::string> args) {
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    const Outcome outcome = test::runCommand(args);
    unsetenv("XDG_DATA_HOME");
    return outcome;
}

std::size_t linesIn(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(RefusingDrives, OnAReadOnlyDriveEveryFolderIsReportedAndStays) {
    test::TempTree tree({"drive/", "home/"});
    const std::string drive = tree.path("drive");
    test::TmpfsMount tmpfs(drive);
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    for (const char* folder : {"e", "z/s", "d/n"})
        std::filesystem::create_directories(drive + "/" + folder);
    std::ofstream(drive + "/z/a");
    std::ofstream(drive + "/d/f") << "x";
    ASSERT_EQ(::mount("none", drive.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    for (const std::string how : {"--delete", "--trash"}) {
        const Outcome outcome = runWithHomeTrashIn(tree.path("home"), {how, "--mode", "1", drive});
        EXPECT_EQ(outcome.status, 1) << how;
        EXPECT_EQ(outcome.out, "") << how;
        EXPECT_EQ(linesIn(outcome.err), 3u) << outcome.err;
        const std::string verb = how == "--delete" ? "delete" : "trash";
        for (const char* listed : {"e", "z", "d/n"}) {
            EXPECT_NE(outcome.err.find("cannot " + verb + " '" + drive + "/" + listed + "'"),
                      std::string::npos)
                << outcome.err;
        }
    }
    for (const char* kept : {"e", "z/a", "z/s", "d/f", "d/n"})
        EXPECT_TRUE(exists(drive + "/" + kept));
}

// A full drive: deleting needs no room and goes on; a move to the trash whose record cannot be
// written keeps the folder where it is, without a record left behind.
TEST(RefusingDrives, OnAFullDriveDeletionWorksAndTheTrashKeepsWhatItCannotRecord) {
    test::TempTree tree({"drive/", "home/"});
    const std::string drive = tree.path("drive");
    test::TmpfsMount tmpfs(drive);
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    std::filesystem::create_directories(drive + "/a");
    std::filesystem::create_directories(drive + "/b");
    // Made before the drive fills up, so that only the record lacks room.
    const std::string trash = drive + "/.Trash-" + std::to_string(geteuid());
    std::filesystem::create_directories(trash + "/files");
    std::filesystem::create_directories(trash + "/info");
    const int filler = open((drive + "/filler").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);

    const Outcome trashed = runWithHomeTrashIn(tree.path("home"), {"--trash", drive});
    EXPECT_EQ(trashed.status, 1);
    EXPECT_EQ(trashed.out, "");
    EXPECT_NE(trashed.err.find("No space left on device"), std::string::npos) << trashed.err;
    EXPECT_TRUE(exists(drive + "/a") && exists(drive + "/b"));
    EXPECT_EQ(test::namesIn(trash + "/info"), std::vector<std::string>{});
    EXPECT_EQ(test::namesIn(trash + "/files"), std::vector<std::string>{});

    const Outcome deleted = test::runCommand({"--delete", drive});
    EXPECT_EQ(deleted.status, 0) << deleted.err;
    EXPECT_EQ(linesIn(deleted.out), 2u) << deleted.out;
    EXPECT_FALSE(exists(drive + "/a") || exists(drive + "/b"));
}

}  // namespace
}  // namespace voidbroom
