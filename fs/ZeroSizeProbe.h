#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/DirReader.h"
#include "fs/FolderStack.h"
#include "fs/PendingFolders.h"

namespace voidbroom {

// The only thing the program asks of a folder's total size: exactly 0, or not.
enum class SizeAnswer {
    Zero,
    NotZero,     // some file below holds at least one byte
    Unreadable,  // some part of the tree below cannot be read (a failed size read)
};

// Answers the total-size question for folders, reading only as far as needed: it stops at
// the first file of non-zero length or the first folder that cannot be read. Every folder it
// reads keeps its answer, so a walk that asks about a folder and later about each folder
// below it reads each folder once here, however deep the tree. A subfolder that is the mount
// point of another file system makes the size unreadable. Never follows links.
class ZeroSizeProbe {
public:
    ZeroSizeProbe();

    // The answer for the folder `name` (listed with `inode`) inside the open folder `parentFd`.
    SizeAnswer sizeOf(int parentFd, std::string_view name, ino_t inode);

    // The answer for the folder open at `fd` itself (it is not remembered).
    SizeAnswer sizeOfOpenFolder(int fd);

    // The remembered answer for that folder, if it has one; the answer is forgotten, since a
    // walk visits each folder once.
    std::optional<SizeAnswer> takeKnown(std::string_view name, ino_t inode);

    // Forgets every remembered answer, for a walk that starts afresh.
    void forget() { known_.clear(); }

    std::size_t reads() const { return reader_.reads(); }
    std::size_t opens() const { return opens_; }

private:
    struct Key {
        ino_t inode;
        std::size_t nameHash;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const { return k.nameHash ^ (k.inode * 0x9e3779b97f4a7c15ULL); }
    };
    struct Frame {
        Key key;
        std::size_t first;
        std::size_t next;
        std::size_t end;
    };
    enum class Step { Done, Pending };

    static Key keyOf(std::string_view name, ino_t inode);
    // Opens one folder below the top of the stack and reads it; Pending when its subfolders
    // still have to be asked about (it is then the new top).
    Step enter(const std::string& name, Key key, SizeAnswer& answer);
    // Reads the folder open at `fd`: its files until one is not empty, and its subfolders.
    Step read(int fd, Key key, SizeAnswer& answer);
    SizeAnswer descend();
    SizeAnswer failAll(SizeAnswer answer);

    std::unordered_map<Key, SizeAnswer, KeyHash> known_;
    DirReader reader_;
    FolderStack stack_;
    std::vector<Frame> frames_;
    PendingFolders pending_;
    std::string name_;
    std::size_t opens_ = 0;
};

}  // namespace voidbroom
