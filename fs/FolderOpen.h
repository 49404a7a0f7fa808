#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "fs/Fd.h"

namespace voidbroom {

// How an attempt to open a folder ended.
enum class OpenStatus {
    Opened,
    Missing,          // nothing there, or something that is not a real folder (a file, a link)
    OtherFileSystem,  // the mount point of another file system, or a subvolume
    Failed,           // it is there but cannot be opened (permissions, descriptors, ...)
};

// How it ended, without the descriptor.
struct OpenOutcome {
    OpenStatus status = OpenStatus::Failed;
    int error = 0;  // errno when status is not Opened
    bool opened() const { return status == OpenStatus::Opened; }
};

struct OpenedFolder {
    Fd fd;
    OpenStatus status = OpenStatus::Failed;
    int error = 0;  // errno when status is not Opened
    OpenOutcome outcome() const { return {status, error}; }
};

// Opens the folder `name` (one path component) inside the open folder `parentFd`, for
// reading. Never follows a symbolic link and never enters another file system: a mount
// point, bind mounts included, answers OtherFileSystem, and so does, where `device` is not
// 0, a folder whose device is not `device` (a btrfs subvolume, which is no mount point).
OpenedFolder openChildFolder(int parentFd, const char* name, dev_t device = 0);

// The device that folders below the folder open at `fd` must have to be on its file system,
// where the file system can hold folders of other devices without a mount (btrfs and
// bcachefs subvolumes); 0 where every folder below a mount has its device, which spares the
// walk a look at each folder's device.
dev_t boundaryDeviceOf(int fd);
// The same where the file system's type (statfs's f_type) is known already.
dev_t boundaryDeviceOf(int fd, unsigned long fsType);

// Gives the owner read, write and search rights on the folder open at `fd`, or on the folder
// `name` inside `parentFd` (found by the same rules as openChildFolder, and changed through a
// descriptor of its own, never by path). False when they cannot be given (another user's
// folder, a read-only file system); the caller then meets the refusal it would have met.
bool grantOwnerRights(int fd);
bool grantOwnerRights(int parentFd, const char* name, dev_t device = 0);

// Opens the folder at `path`, of any length. With FollowLinks::No no component of the path
// may be a symbolic link; with FollowLinks::Yes links are followed as open(2) does.
enum class FollowLinks { No, Yes };
OpenedFolder openFolderPath(const std::string& path, FollowLinks follow);

// A human-readable reason for an open that did not succeed.
std::string describeOpenFailure(const OpenOutcome& outcome);
inline std::string describeOpenFailure(const OpenedFolder& result) {
    return describeOpenFailure(result.outcome());
}

}  // namespace voidbroom
