#include "fs/FolderDeleter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "fs/FolderOpen.h"
#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;
using test::exists;

// The check of an entry for the folder now at `path`, listed under `rule`.
DeleteCheck checkOf(const std::string& path, DeleteRule rule = DeleteRule::Everything) {
    OpenedFolder folder = openFolderPath(path, FollowLinks::No);
    DeleteCheck check;
    if (folder.status == OpenStatus::Opened) check.folder = identityOf(folder.fd.get());
    check.rule = rule;
    return check;
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

TEST(FolderDeleter, APlainEntryGoesOnlyWhileStillEmptyAndStillTheSameFolder) {
    test::TempTree tree({"empty/", "filled/", "replaced/"});
    EXPECT_EQ(tryDelete(tree.path("empty"), checkOf(tree.path("empty"), DeleteRule::EmptyOnly)),
              "");
    EXPECT_FALSE(exists(tree.path("empty")));

    const DeleteCheck filledAtScan = checkOf(tree.path("filled"), DeleteRule::EmptyOnly);
    tree.add("filled/new.txt:5");  // put there after the scan: it must survive
    EXPECT_NE(tryDelete(tree.path("filled"), filledAtScan).find("not empty any more"),
              std::string::npos);
    EXPECT_TRUE(exists(tree.path("filled/new.txt")));

    const DeleteCheck replacedAtScan = checkOf(tree.path("replaced"), DeleteRule::EmptyOnly);
    // A new folder in its place, which may even get the old folder's inode number.
    ASSERT_EQ(rmdir(tree.path("replaced").c_str()), 0);
    tree.add("replaced/");
    EXPECT_NE(tryDelete(tree.path("replaced"), replacedAtScan)
                  .find("not the folder that the scan listed"),
              std::string::npos);
    EXPECT_TRUE(exists(tree.path("replaced")));

    EXPECT_NE(tryDelete(tree.path("gone"), {}).find("no longer exists"), std::string::npos);
}

TEST(FolderDeleter, AMarkedEntryGoesWithEverythingInItButNothingALinkPointsTo) {
    test::TempTree tree({"canary/precious.txt:3", "m/a/b/c/", "m/a/zero:0", "m/d/data:7", "m/pipe|",
                         "m/a/lnk -> ../../canary"});
    tree.add("m/b/lnk2 -> " + tree.path("canary"));
    EXPECT_EQ(tryDelete(tree.path("m"), checkOf(tree.path("m"))), "");
    EXPECT_FALSE(exists(tree.path("m")));
    EXPECT_TRUE(exists(tree.path("canary/precious.txt")));
}

TEST(FolderDeleter, AListedFolderReplacedByALinkIsNotFollowed) {
    test::TempTree tree({"canary/precious.txt:3", "m/zero:0"});
    const DeleteCheck atScan = checkOf(tree.path("m"));
    std::filesystem::remove_all(tree.path("m"));
    tree.add("m -> canary");
    EXPECT_NE(tryDelete(tree.path("m"), atScan), "");
    EXPECT_TRUE(exists(tree.path("canary/precious.txt")));
    EXPECT_TRUE(exists(tree.path("m"))) << "the link itself is not what was listed";
}

TEST(FolderDeleter, ASubfolderSwappedForALinkDuringTheDeletionIsRemovedAsALink) {
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
TEST(FolderDeleter, ReadOnlyFoldersInsideAreDeletedWithForce) {
    test::TempTree tree({"m/ro/file.txt:2", "m/ro/deeper/x:0", "m/locked/y:1", "n/ro/file.txt:2"});
    for (const auto& [folder, mode] :
         {std::pair{"m/ro/deeper", 0555}, {"m/ro", 0555}, {"m/locked", 0}, {"n/ro", 0555}})
        ASSERT_EQ(chmod(tree.path(folder).c_str(), static_cast<mode_t>(mode)), 0);
    ASSERT_EQ(
        std::system(("chown -R " + std::to_string(test::kNobody) + " " + tree.root()).c_str()), 0);
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

// Read-only folders inside read-only folders, a folder nobody may enter, and a chain of
// read-only folders deeper than the descriptor budget: their owner deletes them all with
// force. A folder of another user inside stays, and the deletion says where it stopped.
TEST(FolderDeleter, ForceReachesEveryDepthOfTheOwnersFoldersAndStopsAtAnotherUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "the folders of two users can only be made as root";
    test::TempTree tree({"a/s/", "b/ro/file:1", "b/ro/inner/", "c/locked/x:1", "c/locked/y/",
                         "c/ro2/", "d/", "e/theirs/kept:1"});
    tree.addChain("d", 200, "r", "leaf", 1);
    ASSERT_EQ(
        std::system(("chown -R " + std::to_string(test::kNobody) + " " + tree.root()).c_str()), 0);
    ASSERT_EQ(chown(tree.path("e/theirs").c_str(), 0, 0), 0);
    std::string chain = "d";
    for (int i = 0; i < 200; ++i) chain += "/r";
    for (; chain != "d"; chain.resize(chain.size() - 2))
        ASSERT_EQ(chmod(tree.path(chain).c_str(), 0500), 0);
    for (const auto& [folder, mode] : {std::pair{"a", 0500},
                                       {"b/ro/inner", 0500},
                                       {"b/ro", 0500},
                                       {"b", 0500},
                                       {"c/locked", 0},
                                       {"c/ro2", 0555},
                                       {"c", 0555},
                                       {"d", 0500},
                                       {"e/theirs", 0555},
                                       {"e", 0500}})
        ASSERT_EQ(chmod(tree.path(folder).c_str(), static_cast<mode_t>(mode)), 0);
    std::map<std::string, DeleteCheck> checks;
    for (const char* folder : {"a", "b", "c", "d", "e"})
        checks[folder] = checkOf(tree.path(folder));
    EXPECT_EQ(test::runUnprivileged([&] {
                  int wrong = 0;
                  for (const char* folder : {"a", "b", "c", "d"}) {
                      const std::string reason = tryDelete(tree.path(folder), checks[folder]);
                      if (!reason.empty() || exists(tree.path(folder)))
                          std::fprintf(stderr, "%s: %s\n", folder, reason.c_str()), ++wrong;
                  }
                  const std::string reason = tryDelete(tree.path("e"), checks["e"]);
                  if (reason != tree.path("e/theirs/kept") + ": Permission denied" ||
                      !exists(tree.path("e/theirs/kept")))
                      std::fprintf(stderr, "e: %s\n", reason.c_str()), ++wrong;
                  return wrong;
              }),
              0);
}

// A folder listed for a total size of 0 loses only what holds no data: a file written into
// it after the scan (even where a folder was) stays with every folder on its way, and the
// deletion names it. Links and FIFOs put there go as they are; the same tree without data
// goes whole.
TEST(FolderDeleter, AZeroSizeFolderLosesOnlyWhatHoldsNoData) {
    test::TempTree tree(
        {"canary/precious:3", "z/a:0", "z/s/t/u/", "z/s/b:0", "w/s/", "w/b:0", "y/a:0", "y/s/"});
    const DeleteCheck z = checkOf(tree.path("z"), DeleteRule::ZeroLengthOnly);
    const DeleteCheck w = checkOf(tree.path("w"), DeleteRule::ZeroLengthOnly);
    const DeleteCheck y = checkOf(tree.path("y"), DeleteRule::ZeroLengthOnly);
    tree.add("z/s/t/late.txt:5");
    tree.add("y/link -> ../canary/precious");
    tree.add("y/pipe|");
    std::filesystem::remove(tree.path("w/s"));
    tree.add("w/s:2");  // a file with content where an empty folder was
    EXPECT_EQ(tryDelete(tree.path("z"), z),
              tree.path("z/s/t/late.txt") + ": holds data written after the scan");
    EXPECT_EQ(contentOf(tree.path("z/s/t/late.txt")), "xxxxx");
    EXPECT_EQ(tryDelete(tree.path("w"), w),
              tree.path("w/s") + ": holds data written after the scan");
    EXPECT_TRUE(exists(tree.path("w/s")));
    EXPECT_EQ(tryDelete(tree.path("y"), y), "");
    EXPECT_FALSE(exists(tree.path("y")));
    EXPECT_EQ(contentOf(tree.path("canary/precious")), "xxx");
}

TEST(FolderDeleter, ATreeDeeperThanPathMaxIsDeleted) {
    test::TempTree tree({"m/"});
    tree.addChain("m", 1500, "a-long-folder-name", "leaf.txt", 0);  // about 28 KB of path
    EXPECT_EQ(tryDelete(tree.path("m"), checkOf(tree.path("m"))), "");
    EXPECT_FALSE(exists(tree.path("m")));
}

TEST(FolderDeleter, AMountPointInsideStopsTheDeletionWithNothingOfItRemoved) {
    test::TempTree tree({"m/before/", "m/mnt/", "m/zz/"});
    const test::TmpfsMount tmpfs(tree.path("m/mnt"));
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    tree.add("m/mnt/inside.txt:4");
    tree.add("m/mnt/sub/");
    const std::string reason = tryDelete(tree.path("m"), checkOf(tree.path("m")));
    EXPECT_NE(reason.find("mount point"), std::string::npos) << reason;
    EXPECT_TRUE(exists(tree.path("m/mnt/inside.txt")) && exists(tree.path("m/mnt/sub")))
        << "nothing of the mounted file system may be removed";
}

}  // namespace
}  // namespace voidbroom
