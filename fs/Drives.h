#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voidbroom {

// A mounted file system that a user may scan.
struct DriveInfo {
    std::string mountPoint;
    std::string device;  // the mount source, such as /dev/sda1 or tmpfs
    std::string fsType;
    std::string label;  // the file system's label where it has one
    unsigned long long mountId = 0;

    // How the drive list shows it: the mount point, then the label or device in brackets.
    std::string caption() const;
};

// The real file systems of a mount table in /proc/self/mountinfo form, sorted by mount
// point: kernel and virtual file systems (proc, sysfs, cgroup, ...) and the system's own
// runtime folders are left out. Where one mount point is mounted over, the top mount counts.
std::vector<DriveInfo> parseMountTable(std::string_view mountinfo);

// The drives of this machine; throws FsError when the mount table cannot be read.
std::vector<DriveInfo> listDrives(const std::string& mountTable = "/proc/self/mountinfo");

// The index of the drive that holds `path`, if any.
std::optional<std::size_t> driveHolding(const std::vector<DriveInfo>& drives,
                                        const std::string& path);

// The mount id of the file system that the folder `path` is on, if it can be told.
std::optional<unsigned long long> mountIdOf(const std::string& path);

}  // namespace voidbroom
