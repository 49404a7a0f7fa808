#include "fs/Drives.h"

#include <gtest/gtest.h>

#include "fs/FileSystemObject.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// Lines as the kernel writes them: id, parent, major:minor, root, mount point, options,
// optional fields, "-", type, source, super options.
const std::vector<DriveInfo> kDrives = parseMountTable(
    "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "22 21 0:5 / /proc rw,nosuid - proc proc rw\n"
    "23 21 0:21 / /sys rw - sysfs sysfs rw\n"
    "24 21 0:6 / /dev rw - devtmpfs udev rw\n"
    "25 21 0:22 / /run rw - tmpfs tmpfs rw\n"
    "26 25 0:23 / /run/user/1000 rw - tmpfs tmpfs rw\n"
    "27 21 0:24 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
    "30 21 8:17 / /media/My\\040Disk rw - vfat /dev/sdb1 rw\n"
    "31 21 8:33 / /run/media/ann/USB rw - exfat /dev/sdc1 rw\n"
    "32 21 0:30 / /tmp rw - tmpfs tmpfs rw\n"
    "33 21 8:2 / /home rw - ext4 /dev/sda2 rw\n"
    "34 21 8:3 / /home rw - xfs /dev/sda3 rw\n"  // mounted over the first /home
    "35 21 0:40 / /snap/core/1 ro - squashfs /dev/loop0 ro\n");

TEST(Drives, TheMountTableGivesRealFileSystemsSortedWithTheTopMountOfEachPlace) {
    std::vector<std::string> mountPoints;
    for (const auto& drive : kDrives) mountPoints.push_back(drive.mountPoint);
    ASSERT_EQ(mountPoints, (std::vector<std::string>{"/", "/home", "/media/My Disk",
                                                     "/run/media/ann/USB", "/tmp"}));
    EXPECT_EQ(kDrives[1].fsType, "xfs");
    EXPECT_EQ(kDrives[1].mountId, 34u);
    EXPECT_EQ(kDrives[2].caption(), "/media/My Disk [/dev/sdb1]");
    EXPECT_TRUE(driveHolding(listDrives(), "/").has_value());
    EXPECT_THROW(listDrives("/nonexistent/mountinfo"), std::exception);
}

// Mount ids in the table are invented and the paths do not exist: the answer comes from the
// mount points, matched by whole components.
TEST(Drives, TheDriveHoldingAFolderIsTheLongestMountPointAboveIt) {
    for (const auto& [path, drive] : std::vector<std::pair<std::string, std::string>>{
             {"/nonexistent-a/b", "/"},
             {"/home/nonexistent-x/y", "/home"},
             {"/media/My Disk/nonexistent", "/media/My Disk"},
             {"/nonexistent-home", "/"}}) {
        const auto index = driveHolding(kDrives, path);
        EXPECT_EQ(index ? kDrives[*index].mountPoint : "none", drive) << path;
    }
}

TEST(Drives, ARootFolderPathEndsInOneSlashAndItsDriveMustStillBeMounted) {
    test::TempTree tree({"plain/"});
    const FileSystemObject fso;
    EXPECT_EQ(fso.GetDrive("/").RootFolder().Path(), "/");
    EXPECT_THROW(fso.GetDrive(tree.path("missing")).RootFolder(), FsError);
    // An unmounted drive leaves a plain folder behind, which is not the drive.
    EXPECT_THROW(fso.GetDrive(tree.path("plain")).RootFolder(), FsError);
    const FileSystemObject anyFolder(FileSystemOptions{"/proc/self/mountinfo", false});
    EXPECT_EQ(anyFolder.GetDrive(tree.root() + "//").RootFolder().Path(), tree.rootPath());
}

}  // namespace
}  // namespace voidbroom
