#pragma once

#include <sys/types.h>

namespace voidbroom {

// Which folder on which file system: what stays true of a folder while its path may change.
struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const FolderIdentity&) const = default;
};

// The identity of the folder open at `fd`; nullopt-like {0, 0} when fstat fails.
FolderIdentity identityOf(int fd);

}  // namespace voidbroom
