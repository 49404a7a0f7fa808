#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "fs/Fd.h"
#include "fs/FolderIdentity.h"

namespace voidbroom {

// The open folders on the way from a starting folder down to the current one, as a
// depth-first walk holds them. At most `maxOpen` of them keep a descriptor, so depth is not
// bounded by the descriptor limit: a folder whose descriptor was given up is opened again
// through ".." of its child when the walk climbs back to it, and accepted only if it is
// still the same folder (device and inode); failing that, it is opened again from the
// bottom by name, checked level by level. A folder that cannot be reached again is lost:
// top() answers -1 for it and the walk gives up what it still had to do there.
// Descriptors one stack of a walk may hold: a quarter of what the process may open.
std::size_t descriptorBudget();
// Raises the process's soft limit on open descriptors to its hard limit (at most 65,536), as
// a program that reads folders ahead on many threads should: the usual soft limit of 1,024
// leaves the readers a window too small to hide a slow drive's round trips. The programs
// call it first thing; nothing of theirs uses select().
void raiseDescriptorLimit();

class FolderStack {
public:
    // At most `maxOpen` descriptors, and never more than a quarter of the process's limit.
    explicit FolderStack(std::size_t maxOpen = 64);

    // Starts the stack at a folder that the caller keeps open (it is never closed here).
    void startBorrowed(int fd);
    // Starts the stack at a folder that the stack owns from now on.
    void start(Fd fd);
    // Makes `fd`, the folder `name` of the current top, the new top.
    void push(Fd fd, std::string_view name);
    // The same for a folder that the caller keeps open while it is on the stack (it is
    // never closed here; given up, it is opened again as any other).
    void pushBorrowed(int fd, std::string_view name);
    // Leaves the top folder and closes it; its parent becomes the top again.
    void pop();

    // Descriptor of the top folder, or -1 when it is lost.
    int top() const { return levels_.back().fd; }
    // Descriptor of the folder `index` levels above the bottom, or -1 where it was given up
    // or lost.
    int fdAt(std::size_t index) const { return levels_[index].fd; }
    // The name the top folder was pushed with ("" for the bottom).
    const std::string& topName() const { return levels_.back().name; }
    std::size_t size() const { return levels_.size(); }
    bool empty() const { return levels_.empty(); }
    void clear();

    // Descriptors open at the moment, the borrowed bottom not counted (for tests).
    std::size_t openCount() const { return openCount_; }

private:
    struct Level {
        Fd owned;
        int fd = -1;
        std::string name;
        FolderIdentity identity;
    };

    void giveUpShallowest();
    void reopen(std::size_t index, int childFd);
    int openFromBottom(std::size_t index) const;

    std::vector<Level> levels_;
    std::size_t maxOpen_;
    std::size_t openCount_ = 0;
    std::size_t firstOpen_ = 1;  // levels 1 .. firstOpen_-1 have given up their descriptors
};

}  // namespace voidbroom
