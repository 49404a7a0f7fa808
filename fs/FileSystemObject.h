#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/Drives.h"
#include "fs/FsError.h"
#include "fs/FolderDeletion.h"
#include "fs/ZeroSizeProbe.h"

namespace voidbroom {

// A file directly in a folder: anything that is not a real folder (links included).
class File {
public:
    explicit File(std::string name) : name_(std::move(name)) {}
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

// A folder, known by its path. Every question opens it afresh, never through a symbolic
// link; collections list the folder's entries in the file system's own order.
class Folder {
public:
    Folder(std::string path, std::string name) : path_(std::move(path)), name_(std::move(name)) {}

    const std::string& Path() const { return path_; }
    const std::string& Name() const { return name_; }
    SizeAnswer Size() const;
    std::vector<File> Files() const;         // throws FsError
    std::vector<Folder> SubFolders() const;  // throws FsError

private:
    std::string path_;
    std::string name_;
};

// A mounted file system, known by its mount point.
class Drive {
public:
    Drive(std::string mountPoint, bool mustBeMounted)
        : mountPoint_(std::move(mountPoint)), mustBeMounted_(mustBeMounted) {}
    const std::string& MountPoint() const { return mountPoint_; }
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
    // Off only where tests stand a plain folder in for a drive.
    bool drivesMustBeMounted = true;
};

// The program's file-system service: the entry point to drives and folders by path.
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
    // True only when a real folder (not a link to one) is at `path`.
    bool FolderExists(const std::string& path) const;
    // The folder at `path`; throws FsError when there is none or it cannot be opened.
    Folder GetFolder(const std::string& path) const;
    // Deletes the folder at `path` with everything below it, if it still passes `check`;
    // with `force`, read-only folders inside it are made writable. Throws FsError with the
    // reason when the folder is not gone on return.
    void DeleteFolder(const std::string& path, bool force, const DeleteCheck& check) const;

    // Called before each folder inside a deleted folder is entered (a seam for tests).
    std::function<void(const std::string& path)> deletionHook;

private:
    FileSystemOptions options_;
};

}  // namespace voidbroom
