#include "fs/FolderStack.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <limits>

#include "fs/FolderOpen.h"

namespace voidbroom {

// A walk's stack may take a quarter of what the process is allowed to open: its readers take
// as much again (ReadAhead), and the rest of the program keeps some open too.
std::size_t descriptorBudget() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<std::size_t>::max();
    return static_cast<std::size_t>(limit.rlim_cur / 4);
}

void raiseDescriptorLimit() {
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, 65536);
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= wanted) return;
    limit.rlim_cur = wanted;
    setrlimit(RLIMIT_NOFILE, &limit);
}

FolderStack::FolderStack(std::size_t maxOpen)
    : maxOpen_(std::max<std::size_t>(2, std::min(maxOpen, descriptorBudget()))) {}

void FolderStack::clear() {
    levels_.clear();
    openCount_ = 0;
    firstOpen_ = 1;
}

void FolderStack::startBorrowed(int fd) {
    clear();
    levels_.push_back(Level{Fd(), fd, std::string(), FolderIdentity{}});
}

void FolderStack::start(Fd fd) {
    startBorrowed(fd.get());
    levels_.back().owned = std::move(fd);
    ++openCount_;
}

void FolderStack::push(Fd fd, std::string_view name) {
    const int raw = fd.get();
    levels_.push_back(Level{std::move(fd), raw, std::string(name), FolderIdentity{}});
    ++openCount_;
    // A borrowed level given up frees none of the budget: give up the next one too.
    while (openCount_ > maxOpen_ && firstOpen_ + 1 < levels_.size()) giveUpShallowest();
}

void FolderStack::pushBorrowed(int fd, std::string_view name) {
    levels_.push_back(Level{Fd(), fd, std::string(name), FolderIdentity{}});
}

void FolderStack::giveUpShallowest() {
    if (firstOpen_ + 1 >= levels_.size()) return;  // never the top
    Level& level = levels_[firstOpen_++];
    level.identity = identityOf(level.fd);
    if (level.owned) --openCount_;
    level.owned.reset();
    level.fd = -1;
}

void FolderStack::pop() {
    Level child = std::move(levels_.back());
    levels_.pop_back();
    if (child.owned) --openCount_;
    if (levels_.empty()) return;
    const std::size_t parent = levels_.size() - 1;
    if (parent > 0 && parent < firstOpen_) {
        reopen(parent, child.fd);
        firstOpen_ = parent;
    }
}

void FolderStack::reopen(std::size_t index, int childFd) {
    Level& level = levels_[index];
    int fd = childFd >= 0 ? openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    if (fd >= 0 && !isSameFolder(fd, level.identity)) {
        // The child was moved elsewhere meanwhile: ".." is not our folder any more.
        close(fd);
        fd = -1;
    }
    if (fd < 0) fd = openFromBottom(index);
    level.owned.reset(fd);
    level.fd = fd;
    if (fd >= 0) ++openCount_;
}

int FolderStack::openFromBottom(std::size_t index) const {
    Fd current;
    int at = levels_[0].fd;
    for (std::size_t i = 1; i <= index; ++i) {
        OpenedFolder next = openChildFolder(at, levels_[i].name.c_str());
        if (next.status != OpenStatus::Opened) return -1;
        if (!isSameFolder(next.fd.get(), levels_[i].identity)) return -1;
        current = std::move(next.fd);
        at = current.get();
    }
    return current.release();
}

}  // namespace voidbroom
