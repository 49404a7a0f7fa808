#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/Drives.h"
#include "fs/FolderDeleter.h"
#include "fs/FsError.h"

namespace voidbroom {

// A folder, known by its path.
class Folder {
public:
    explicit Folder(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// A mounted file system, known by its mount point.
class Drive {
public:
    Drive(std::string mountPoint, bool mustBeMounted)
        : mountPoint_(std::move(mountPoint)), mustBeMounted_(mustBeMounted) {}
    // Its root folder, whose path is the mount point with one final "/"; throws FsError
    // when the root cannot be opened, or is no longer the root of a mounted file system
    // (an unmounted drive leaves an empty folder behind, which is not the drive).
    Folder RootFolder() const;

private:
    std::string mountPoint_;
    bool mustBeMounted_;
};

struct FileSystemOptions {
    std::string mountTable = "/proc/self/mountinfo";
    // Off only where tests and tools stand a plain folder in for a drive.
    bool drivesMustBeMounted = true;
};

// The program's file-system service: the window's one entry point to drives and to the
// deletion of folders.
class FileSystemObject {
public:
    // Throws FsError when the table of mounted file systems cannot be read: without it
    // there are no drives to offer.
    explicit FileSystemObject(FileSystemOptions options = {});

    // The drives that can be scanned, sorted by mount point.
    std::vector<DriveInfo> Drives() const;
    Drive GetDrive(const std::string& mountPoint) const {
        return Drive(mountPoint, options_.drivesMustBeMounted);
    }
    // Deletes the folder at `path` with everything below it that `check` allows, if it still
    // passes `check`; with `force`, folders inside it are made writable for their owner.
    // Throws FsError with the reason when the folder is not gone on return.
    void DeleteFolder(const std::string& path, bool force, const DeleteCheck& check) const;

    // Called before each folder inside a deleted folder is entered (a seam for tests).
    std::function<void(const std::string& path)> deletionHook;

private:
    FileSystemOptions options_;
};

}  // namespace voidbroom
