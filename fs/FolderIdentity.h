#pragma once

#include <sys/types.h>

namespace voidbroom {

// Which folder on which file system: what stays true of a folder while its path may change.
// The birth time, where the file system keeps one, tells a new folder that got the inode
// number of a deleted one from the deleted one.
struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    long long bornSeconds = 0;
    unsigned bornNanoseconds = 0;

    bool operator==(const FolderIdentity&) const = default;
};

// The identity of the folder open at `fd`; all zero when it cannot be read.
FolderIdentity identityOf(int fd);

// Whether the folder open at `fd` is the folder of `identity`. On an overlay a folder of the
// lower layer keeps its device and inode number when it is copied up (when something in it
// changes first), but takes the birth time of its copy: there the birth time is not compared.
bool isSameFolder(int fd, const FolderIdentity& identity);

}  // namespace voidbroom
