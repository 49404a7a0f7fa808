#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace voidbroom {

// Names read from folder listings, in the order read, each with its inode number. Names are
// kept back to back in one buffer, each followed by a NUL so it can be passed to the system
// as it is, and entries can be dropped from the end: a walk that keeps the subfolders of
// every open level here allocates nothing per folder.
class NameList {
public:
    void add(std::string_view name, ino_t inode) {
        entries_.push_back(Entry{names_.size(), name.size(), inode});
        names_.append(name);
        names_.push_back('\0');
    }
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // Bytes the list holds, for bounding memory.
    std::size_t bytes() const { return names_.capacity() + entries_.capacity() * sizeof(Entry); }
    std::string_view name(std::size_t i) const {
        return std::string_view(names_).substr(entries_[i].offset, entries_[i].length);
    }
    const char* c_str(std::size_t i) const { return names_.data() + entries_[i].offset; }
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
