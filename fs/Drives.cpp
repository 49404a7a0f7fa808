#include "fs/Drives.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "fs/FsError.h"

namespace voidbroom {
namespace {

constexpr std::array kVirtualTypes = {
    "proc",        "sysfs",      "devtmpfs",  "devpts",  "cgroup",      "cgroup2",
    "tracefs",     "securityfs", "debugfs",   "pstore",  "bpf",         "mqueue",
    "hugetlbfs",   "autofs",     "configfs",  "fusectl", "binfmt_misc", "efivarfs",
    "rpc_pipefs",  "nsfs",       "selinuxfs", "nfsd",    "ramfs",       "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs", "squashfs"};

bool isVirtual(const std::string& type) {
    return std::find(kVirtualTypes.begin(), kVirtualTypes.end(), type) != kVirtualTypes.end();
}

bool isUnder(const std::string& path, std::string_view folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// Memory-backed mounts in the system's runtime folders (/run, /dev, ...) are its own
// business; removable media mounted under /run/media are the user's.
bool isSystemRuntime(const std::string& path) {
    if (isUnder(path, "/run/media")) return false;
    return path == "/run" || path == "/dev" || path == "/sys" || path == "/proc" ||
           isUnder(path, "/run") || isUnder(path, "/dev") || isUnder(path, "/sys") ||
           isUnder(path, "/proc");
}

// Mount table fields escape blanks, tabs, newlines and backslashes as \ooo.
std::string unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() &&
            std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::optional<DriveInfo> parseLine(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string field; in >> field;) fields.push_back(field);
    const auto dash = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3) return std::nullopt;
    DriveInfo drive;
    drive.mountId = std::stoull(fields[0]);
    drive.mountPoint = unescape(fields[4]);
    drive.fsType = *(dash + 1);
    drive.device = unescape(*(dash + 2));
    return drive;
}

// Labels from the /dev/disk/by-label links, by the device they point to.
std::map<std::string, std::string> labelsByDevice() {
    std::map<std::string, std::string> labels;
    std::error_code error;
    for (const auto& link : std::filesystem::directory_iterator("/dev/disk/by-label", error)) {
        const auto target = std::filesystem::canonical(link.path(), error);
        if (!error) labels[target.string()] = unescape(link.path().filename().string());
    }
    return labels;
}

}  // namespace

std::string DriveInfo::caption() const {
    return mountPoint + " [" + (label.empty() ? device : label) + "]";
}

std::vector<DriveInfo> parseMountTable(std::string_view mountinfo) {
    std::map<std::string, DriveInfo> byMountPoint;  // later lines are mounted over earlier ones
    std::istringstream in{std::string(mountinfo)};
    for (std::string line; std::getline(in, line);) {
        auto drive = parseLine(line);
        if (!drive) continue;
        if (isVirtual(drive->fsType) || isSystemRuntime(drive->mountPoint)) {
            byMountPoint.erase(drive->mountPoint);
            continue;
        }
        byMountPoint[drive->mountPoint] = *drive;
    }
    std::vector<DriveInfo> drives;
    for (auto& [mountPoint, drive] : byMountPoint) drives.push_back(std::move(drive));
    return drives;
}

std::vector<DriveInfo> listDrives(const std::string& mountTable) {
    std::ifstream in(mountTable);
    if (!in) throw FsError(mountTable, "the table of mounted file systems cannot be read");
    std::stringstream text;
    text << in.rdbuf();
    std::vector<DriveInfo> drives = parseMountTable(text.str());
    const auto labels = labelsByDevice();
    for (auto& drive : drives) {
        if (auto it = labels.find(drive.device); it != labels.end()) drive.label = it->second;
    }
    return drives;
}

std::optional<unsigned long long> mountIdOf(const std::string& path) {
    struct statx sx;
    if (statx(AT_FDCWD, path.c_str(), AT_STATX_DONT_SYNC, STATX_MNT_ID, &sx) != 0)
        return std::nullopt;
    if (!(sx.stx_mask & STATX_MNT_ID)) return std::nullopt;
    return sx.stx_mnt_id;
}

std::optional<std::size_t> driveHolding(const std::vector<DriveInfo>& drives,
                                        const std::string& path) {
    if (const auto id = mountIdOf(path)) {
        for (std::size_t i = 0; i < drives.size(); ++i)
            if (drives[i].mountId == *id) return i;
    }
    // Without mount ids: the drive whose mount point is the longest prefix of the path.
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < drives.size(); ++i) {
        const std::string& mp = drives[i].mountPoint;
        const bool holds = mp == "/" || path == mp || isUnder(path, mp);
        if (holds && (!best || mp.size() > drives[*best].mountPoint.size())) best = i;
    }
    return best;
}

}  // namespace voidbroom
