#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace voidbroom {

// The subfolders that a depth-first walk has listed and not yet visited, level after level:
// each folder appends its subfolders, and drops them again when it is left. Names are kept
// back to back in one buffer, so a walk allocates nothing per folder.
class PendingFolders {
public:
    void add(std::string_view name, ino_t inode) {
        entries_.push_back(Entry{names_.size(), name.size(), inode});
        names_.append(name);
    }
    std::size_t size() const { return entries_.size(); }
    std::string_view name(std::size_t i) const {
        return std::string_view(names_).substr(entries_[i].offset, entries_[i].length);
    }
    ino_t inode(std::size_t i) const { return entries_[i].inode; }
    // Drops the entries from `size` on.
    void truncate(std::size_t size) {
        if (size >= entries_.size()) return;
        names_.resize(entries_[size].offset);
        entries_.resize(size);
    }
    void clear() { truncate(0); }

private:
    struct Entry {
        std::size_t offset;
        std::size_t length;
        ino_t inode;
    };
    std::vector<Entry> entries_;
    std::string names_;
};

}  // namespace voidbroom
