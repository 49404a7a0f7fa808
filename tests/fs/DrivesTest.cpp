#include "fs/Drives.h"

#include <gtest/gtest.h>

namespace voidbroom {
namespace {

std::vector<std::string> mountPoints(const std::vector<DriveInfo>& drives) {
    std::vector<std::string> out;
    for (const auto& drive : drives) out.push_back(drive.mountPoint);
    return out;
}

// Lines as the kernel writes them: id, parent, major:minor, root, mount point, options,
// optional fields, "-", type, source, super options.
constexpr const char* kTable =
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
    "35 21 0:40 / /snap/core/1 ro - squashfs /dev/loop0 ro\n";

TEST(Drives, TheMountTableGivesRealFileSystemsSortedWithTheTopMountOfEachPlace) {
    const auto drives = parseMountTable(kTable);
    EXPECT_EQ(mountPoints(drives),
              (std::vector<std::string>{"/", "/home", "/media/My Disk", "/run/media/ann/USB", "/tmp"}));
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[1].fsType, "xfs");
    EXPECT_EQ(drives[1].mountId, 34u);
    EXPECT_EQ(drives[2].caption(), "/media/My Disk [/dev/sdb1]");
}

TEST(Drives, TheDriveHoldingAFolderIsTheLongestMountPointAboveIt) {
    // Mount ids in the table are invented and the paths do not exist, so the answer comes
    // from the mount points.
    const auto drives = parseMountTable(kTable);
    const auto holding = [&](const std::string& path) {
        const auto index = driveHolding(drives, path);
        return index ? drives[*index].mountPoint : std::string("none");
    };
    EXPECT_EQ(holding("/nonexistent-a/b"), "/");
    EXPECT_EQ(holding("/home/nonexistent-x/y"), "/home");
    EXPECT_EQ(holding("/media/My Disk/nonexistent"), "/media/My Disk");
    EXPECT_EQ(holding("/nonexistent-home"), "/") << "a mount point must match whole components";
}

TEST(Drives, ThisMachineHasTheDriveOfItsCurrentFolder) {
    const auto drives = listDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_TRUE(driveHolding(drives, "/").has_value());
    EXPECT_THROW(listDrives("/nonexistent/mountinfo"), std::exception);
}

}  // namespace
}  // namespace voidbroom
