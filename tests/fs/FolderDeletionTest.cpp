#include "fs/FolderDeletion.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fs/FolderOpen.h"
#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::exists;

// The check of an entry for the folder now at `path`: plain (to go only while empty) or marked.
DeleteCheck checkOf(const std::string& path, bool plain = false) {
    OpenedFolder folder = openFolderPath(path, FollowLinks::No);
    return {folder.status == OpenStatus::Opened ? identityOf(folder.fd.get()) : FolderIdentity{}, plain};
}

// The reason a deletion gave, or "" when it succeeded.
std::string tryDelete(const std::string& path, const DeleteCheck& check,
                      std::function<void(const std::string&)> beforeEnter = {}) {
    FolderDeleter deleter;
    deleter.beforeEnter = std::move(beforeEnter);
    try {
        deleter.deleteFolder(path, check);
    } catch (const FsError& error) {
        return error.what();
    }
    return {};
}

TEST(FolderDeletion, APlainEntryGoesOnlyWhileStillEmptyAndStillTheSameFolder) {
    test::TempTree tree({"empty/", "filled/", "replaced/"});
    EXPECT_EQ(tryDelete(tree.path("empty"), checkOf(tree.path("empty"), true)), "");
    EXPECT_FALSE(exists(tree.path("empty")));

    const DeleteCheck filledAtScan = checkOf(tree.path("filled"), true);
    tree.add("filled/new.txt:5");  // put there after the scan: it must survive
    EXPECT_NE(tryDelete(tree.path("filled"), filledAtScan).find("not empty any more"), std::string::npos);
    EXPECT_TRUE(exists(tree.path("filled/new.txt")));

    const DeleteCheck replacedAtScan = checkOf(tree.path("replaced"), true);
    // A new folder in its place, which may even get the old folder's inode number.
    ASSERT_EQ(rmdir(tree.path("replaced").c_str()), 0);
    tree.add("replaced/");
    EXPECT_NE(tryDelete(tree.path("replaced"), replacedAtScan).find("not the folder that the scan listed"),
              std::string::npos);
    EXPECT_TRUE(exists(tree.path("replaced")));

    EXPECT_NE(tryDelete(tree.path("gone"), {}).find("no longer exists"), std::string::npos);
}

TEST(FolderDeletion, AMarkedEntryGoesWithEverythingInItButNothingALinkPointsTo) {
    test::TempTree tree({"canary/precious.txt:3", "m/a/b/c/", "m/a/zero:0", "m/d/data:7", "m/pipe|",
                         "m/a/lnk -> ../../canary"});
    tree.add("m/b/lnk2 -> " + tree.path("canary"));
    EXPECT_EQ(tryDelete(tree.path("m"), checkOf(tree.path("m"))), "");
    EXPECT_FALSE(exists(tree.path("m")));
    EXPECT_TRUE(exists(tree.path("canary/precious.txt")));
}

TEST(FolderDeletion, AListedFolderReplacedByALinkIsNotFollowed) {
    test::TempTree tree({"canary/precious.txt:3", "m/zero:0"});
    const DeleteCheck atScan = checkOf(tree.path("m"));
    std::filesystem::remove_all(tree.path("m"));
    tree.add("m -> canary");
    EXPECT_NE(tryDelete(tree.path("m"), atScan), "");
    EXPECT_TRUE(exists(tree.path("canary/precious.txt")));
    EXPECT_TRUE(exists(tree.path("m"))) << "the link itself is not what was listed";
}

TEST(FolderDeletion, ASubfolderSwappedForALinkDuringTheDeletionIsRemovedAsALink) {
    test::TempTree tree({"canary/precious.txt:3", "canary/sub/more:1", "m/s/inner/", "m/t/"});
    int swaps = 0;
    const auto swap = [&](const std::string& path) {
        if (path != tree.path("m/s")) return;
        ++swaps;
        std::filesystem::remove_all(path);
        ASSERT_EQ(symlink(tree.path("canary").c_str(), path.c_str()), 0);
    };
    EXPECT_EQ(tryDelete(tree.path("m"), checkOf(tree.path("m")), swap), "");
    EXPECT_EQ(swaps, 1);
    EXPECT_FALSE(exists(tree.path("m")));
    EXPECT_TRUE(exists(tree.path("canary/precious.txt")));
    EXPECT_TRUE(exists(tree.path("canary/sub/more")));
}

// Run where permissions bite: as root every folder is writable anyway.
TEST(FolderDeletion, ReadOnlyFoldersInsideAreDeletedWithForce) {
    test::TempTree tree({"m/ro/file.txt:2", "m/ro/deeper/x:0", "m/locked/y:1", "n/ro/file.txt:2"});
    for (const auto& [folder, mode] : {std::pair{"m/ro/deeper", 0555}, {"m/ro", 0555}, {"m/locked", 0}, {"n/ro", 0555}})
        ASSERT_EQ(chmod(tree.path(folder).c_str(), static_cast<mode_t>(mode)), 0);
    ASSERT_EQ(std::system(("chown -R " + std::to_string(test::kNobody) + " " + tree.root()).c_str()), 0);
    const DeleteCheck m = checkOf(tree.path("m")), n = checkOf(tree.path("n"));
    EXPECT_EQ(test::runUnprivileged([&] {
                  FolderDeleter deleter;
                  deleter.deleteFolder(tree.path("m"), m, /*force=*/true);
                  if (exists(tree.path("m"))) return 1;
                  try {
                      deleter.deleteFolder(tree.path("n"), n, /*force=*/false);
                      return 2;  // without force the read-only folder must stop it
                  } catch (const FsError&) {
                  }
                  return exists(tree.path("n/ro/file.txt")) ? 0 : 3;
              }),
              0);
}

TEST(FolderDeletion, ATreeDeeperThanPathMaxIsDeleted) {
    test::TempTree tree({"m/"});
    tree.addChain("m", 1500, "a-long-folder-name", "leaf.txt", 0);  // about 28 KB of path
    EXPECT_EQ(tryDelete(tree.path("m"), checkOf(tree.path("m"))), "");
    EXPECT_FALSE(exists(tree.path("m")));
}

TEST(FolderDeletion, AMountPointInsideStopsTheDeletionWithNothingOfItRemoved) {
    test::TempTree tree({"m/before/", "m/mnt/", "m/zz/"});
    std::string why;
    if (!test::mountTmpfs(tree.path("m/mnt"), why)) GTEST_SKIP() << why;
    const test::MountedAt mounted{tree.path("m/mnt")};
    tree.add("m/mnt/inside.txt:4");
    tree.add("m/mnt/sub/");
    const std::string reason = tryDelete(tree.path("m"), checkOf(tree.path("m")));
    EXPECT_NE(reason.find("mount point"), std::string::npos) << reason;
    EXPECT_TRUE(exists(tree.path("m/mnt/inside.txt")) && exists(tree.path("m/mnt/sub")))
        << "nothing of the mounted file system may be removed";
}

}  // namespace
}  // namespace voidbroom
