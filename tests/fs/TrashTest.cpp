#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "fs/FolderOpen.h"
#include "fs/FolderTrasher.h"
#include "fs/FsError.h"
#include "fs/TrashInfo.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;
using test::exists;

DeleteCheck checkOf(const std::string& path, DeleteRule rule = DeleteRule::EmptyOnly) {
    OpenedFolder folder = openFolderPath(path, FollowLinks::No);
    DeleteCheck check;
    if (folder.fd) check.folder = identityOf(folder.fd.get());
    check.rule = rule;
    return check;
}

// Trashes of a user whose home trash is `homeTrash`.
TrashPlaces placesWith(const std::string& homeTrash) {
    return {homeTrash, geteuid()};
}

// Where the folder went, or the failure's reason in `why`.
TrashedFolder tryTrash(FolderTrasher& trasher, const std::string& path, const DeleteCheck& check,
                       std::string& why) {
    try {
        return trasher.moveToTrash(path, check);
    } catch (const FsError& error) {
        why = error.reason();
    }
    return {};
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(TrashInfo, PathsArePercentEncodedByteForByteAndDatesAreLocalTime) {
    EXPECT_EQ(percentEncoded("/home/a b/Ünï\x01\xff/x-y_z.~"),
              "/home/a%20b/%C3%9Cn%C3%AF%01%FF/x-y_z.~");
    const std::string text = trashInfoText("/a/b c", 0);
    EXPECT_TRUE(std::regex_match(text, std::regex("\\[Trash Info\\]\nPath=/a/b%20c\nDeletionDate="
                                                  "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n")))
        << text;
    EXPECT_EQ(trashNameFor("photos", 1), "photos");
    EXPECT_EQ(trashNameFor("photos", 3), "photos.3");
    // The info file's name must still fit in a folder entry.
    EXPECT_EQ(trashNameFor(std::string(255, 'n'), 12).size() + 10, 255u);
}

// A folder on the home trash's file system goes to the home trash: moved, with its info
// file, another name when its name is taken, and the size cache updated where there is one.
TEST(FolderTrasher, AFolderOnTheHomeFileSystemGoesToTheHomeTrashUnderAFreeName) {
    test::TempTree tree({"a/old photos/", "b/old photos/", "c/kept/deep/f.txt:5"});
    const std::string trash = tree.path("data/Trash");
    FolderTrasher trasher(placesWith(trash));
    std::string why;
    const TrashedFolder first =
        tryTrash(trasher, tree.path("a/old photos"), checkOf(tree.path("a/old photos")), why);
    ASSERT_EQ(why, "");
    EXPECT_EQ(first.trash, trash);
    EXPECT_EQ(first.name, "old photos");
    EXPECT_FALSE(exists(tree.path("a/old photos")));
    EXPECT_TRUE(exists(trash + "/files/old photos"));
    EXPECT_EQ(modeOf(trash) & 0777, 0700u);
    const std::string info = contentOf(trash + "/info/old photos.trashinfo");
    EXPECT_NE(info.find("\nPath=" + percentEncoded(tree.path("a/old photos")) + "\n"),
              std::string::npos)
        << info;

    std::ofstream(trash + "/directorysizes") << "";
    EXPECT_EQ(
        tryTrash(trasher, tree.path("b/old photos"), checkOf(tree.path("b/old photos")), why).name,
        "old photos.2");
    EXPECT_TRUE(exists(trash + "/files/old photos.2"));
    EXPECT_TRUE(exists(trash + "/info/old photos.2.trashinfo"));
    // A folder without files of its own goes whole, and the cache learns its bytes.
    tryTrash(trasher, tree.path("c/kept"), checkOf(tree.path("c/kept"), DeleteRule::Everything),
             why);
    EXPECT_TRUE(exists(trash + "/files/kept/deep/f.txt"));
    EXPECT_TRUE(std::regex_match(contentOf(trash + "/directorysizes"),
                                 std::regex("0 \\d+ old%20photos\\.2\n5 \\d+ kept\n")))
        << contentOf(trash + "/directorysizes");
}

// Data written after the scan keeps the folder out of the trash, and no info file is left.
TEST(FolderTrasher, AFolderThatChangedSinceTheScanStaysWhereItIs) {
    test::TempTree tree({"filled/", "zero/sub/e.txt:0", "late/", "swapped/"});
    const std::string trash = tree.path("data/Trash");
    FolderTrasher trasher(placesWith(trash));
    std::string why;

    const DeleteCheck filled = checkOf(tree.path("filled"));
    tree.add("filled/new.txt:1");
    tryTrash(trasher, tree.path("filled"), filled, why);
    EXPECT_NE(why.find("not what the scan listed"), std::string::npos) << why;
    EXPECT_TRUE(exists(tree.path("filled/new.txt")));

    const DeleteCheck zero = checkOf(tree.path("zero"), DeleteRule::ZeroLengthOnly);
    tree.add("zero/sub/data.txt:3");
    why.clear();
    tryTrash(trasher, tree.path("zero"), zero, why);
    EXPECT_NE(why, "");
    EXPECT_TRUE(exists(tree.path("zero/sub/data.txt")));

    // Between the info file and the move: the check just before the move catches it.
    trasher.beforeMove = [&] { tree.add("late/new.txt:0"); };
    why.clear();
    tryTrash(trasher, tree.path("late"), checkOf(tree.path("late")), why);
    EXPECT_NE(why, "");
    EXPECT_TRUE(exists(tree.path("late/new.txt")));
    trasher.beforeMove = {};

    const DeleteCheck swapped = checkOf(tree.path("swapped"));
    ASSERT_EQ(rmdir(tree.path("swapped").c_str()), 0);
    tree.add("swapped/");
    why.clear();
    tryTrash(trasher, tree.path("swapped"), swapped, why);
    EXPECT_NE(why, "");
    EXPECT_TRUE(exists(tree.path("swapped")));
    EXPECT_TRUE(test::namesIn(trash + "/info").empty());
    EXPECT_TRUE(test::namesIn(trash + "/files").empty());
}

// On another drive: $topdir/.Trash-$uid, or $topdir/.Trash/$uid when .Trash is a real sticky
// folder; a .Trash that is a link is not used; a drive where no trash can be made keeps the
// folder and says why.
TEST(FolderTrasher, OnAnotherDriveTheDrivesOwnTrashIsUsedOrTheFolderStays) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs drive needs root";
    test::TempTree tree({"drive/", "elsewhere/"});
    test::TmpfsMount drive(tree.path("drive"));
    if (!drive.mounted) GTEST_SKIP() << drive.why;
    const std::string top = tree.path("drive");
    const std::string home = tree.path("data/Trash");
    tree.add("drive/one/x/");
    tree.add("drive/two/y/");
    tree.add("drive/three/z/");
    const std::string own = top + "/.Trash-" + std::to_string(geteuid());

    FolderTrasher trasher(placesWith(home));
    std::string why;
    // .Trash as a link to a sticky folder elsewhere: not used.
    chmod(tree.path("elsewhere").c_str(), 01777);
    ASSERT_EQ(symlink(tree.path("elsewhere").c_str(), (top + "/.Trash").c_str()), 0);
    tryTrash(trasher, top + "/one/x", checkOf(top + "/one/x"), why);
    ASSERT_EQ(why, "");
    EXPECT_TRUE(exists(own + "/files/x"));
    EXPECT_EQ(modeOf(own) & 0777, 0700u);
    EXPECT_NE(contentOf(own + "/info/x.trashinfo").find("\nPath=one/x\n"), std::string::npos);
    EXPECT_TRUE(test::namesIn(tree.path("elsewhere")).empty());
    EXPECT_FALSE(exists(home));

    ASSERT_EQ(unlink((top + "/.Trash").c_str()), 0);
    tree.add("drive/.Trash/");
    chmod((top + "/.Trash").c_str(), 01777);
    tryTrash(trasher, top + "/two/y", checkOf(top + "/two/y"), why);
    ASSERT_EQ(why, "");
    const std::string shared = top + "/.Trash/" + std::to_string(geteuid());
    EXPECT_TRUE(exists(shared + "/files/y"));
    EXPECT_NE(contentOf(shared + "/info/y.trashinfo").find("\nPath=two/y\n"), std::string::npos);

    // Without the sticky bit .Trash is not trusted; a read-only drive takes nothing.
    chmod((top + "/.Trash").c_str(), 0777);
    ASSERT_EQ(system(("rm -rf '" + own + "'").c_str()), 0);
    ASSERT_EQ(mount(nullptr, top.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    tryTrash(trasher, top + "/three/z", checkOf(top + "/three/z"), why);
    EXPECT_NE(why.find("no trash can be used"), std::string::npos) << why;
    EXPECT_TRUE(exists(top + "/three/z"));
}

// A user who may not make a trash at the drive's top keeps the folder, told why.
TEST(FolderTrasher, AUserWhoMayNotMakeTheDrivesTrashKeepsTheFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs drive needs root";
    test::TempTree tree({"drive/"});
    test::TmpfsMount drive(tree.path("drive"));
    if (!drive.mounted) GTEST_SKIP() << drive.why;
    tree.add("drive/theirs/mine/");
    chown(tree.path("drive/theirs").c_str(), test::kNobody, test::kNobody);
    chown(tree.path("drive/theirs/mine").c_str(), test::kNobody, test::kNobody);
    chmod(tree.root().c_str(), 0755);
    chmod(tree.path("drive").c_str(), 0755);  // the drive's top is root's alone
    const std::string path = tree.path("drive/theirs/mine");
    EXPECT_EQ(test::runUnprivileged([&] {
                  FolderTrasher trasher({"/nonexistent/Trash", test::kNobody});
                  std::string why;
                  tryTrash(trasher, path, checkOf(path), why);
                  if (why.find("no trash can be used") == std::string::npos) return 1;
                  if (why.find("Permission denied") == std::string::npos) return 2;
                  return exists(path) ? 0 : 3;
              }),
              0);
}

// What `command` printed (its standard error too); "" when it cannot be run.
std::string outputOf(const std::string& command) {
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {};
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    pclose(pipe);
    return text;
}

// The trash's own readers find what was moved, and put it back where it was: trash-cli
// in the home trash and on a drive, and gio where it is installed.
TEST(FolderTrasher, TheDesktopsTrashToolsListAndRestoreWhatWasMoved) {
    if (outputOf("command -v trash-list").empty()) GTEST_SKIP() << "trash-cli is not installed";
    test::TempTree tree({"home/old photos/", "drive/"});
    const std::string data = tree.path("data");
    const std::string env = "XDG_DATA_HOME='" + data + "' ";
    FolderTrasher trasher(placesWith(data + "/Trash"));
    std::string why;
    tryTrash(trasher, tree.path("home/old photos"), checkOf(tree.path("home/old photos")), why);
    ASSERT_EQ(why, "");
    EXPECT_NE(outputOf(env + "trash-list").find(" " + tree.path("home/old photos") + "\n"),
              std::string::npos)
        << outputOf(env + "trash-list");
    outputOf("cd '" + tree.path("home") + "' && printf '0\\n' | " + env + "trash-restore");
    EXPECT_TRUE(exists(tree.path("home/old photos")));
    EXPECT_TRUE(test::namesIn(data + "/Trash/files").empty());

    // gio reads the trash only through gvfs, where that is installed.
    if (outputOf(env + "gio trash --list >/dev/null && echo readable") == "readable\n") {
        tryTrash(trasher, tree.path("home/old photos"), checkOf(tree.path("home/old photos")), why);
        EXPECT_NE(outputOf(env + "gio trash --list").find(tree.path("home/old photos")),
                  std::string::npos);
    }

    if (geteuid() != 0) return;
    test::TmpfsMount drive(tree.path("drive"));
    if (!drive.mounted) return;
    tree.add("drive/a/b/");
    tryTrash(trasher, tree.path("drive/a/b"), checkOf(tree.path("drive/a/b")), why);
    ASSERT_EQ(why, "");
    EXPECT_NE(outputOf(env + "trash-list").find(" " + tree.path("drive/a/b") + "\n"),
              std::string::npos)
        << outputOf(env + "trash-list");
    outputOf("cd '" + tree.path("drive/a") + "' && printf '0\\n' | " + env + "trash-restore");
    EXPECT_TRUE(exists(tree.path("drive/a/b")));
}

}  // namespace
}  // namespace voidbroom
