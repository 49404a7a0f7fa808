#include "NodeTable.h"

#include <unistd.h>

#include <algorithm>

namespace latencyfs {

NodeTable::NodeTable(int rootFd) {
    root_.fd = rootFd;
}

NodeTable::~NodeTable() {
    for (const auto& entry : byId_) close(entry.second->fd);
}

Node& NodeTable::node(fuse_ino_t id) {
    if (id == FUSE_ROOT_ID) return root_;
    std::lock_guard lock(mutex_);
    const auto it = byId_.find(id);
    return it == byId_.end() ? unknown_ : *it->second;
}

fuse_ino_t NodeTable::remember(int fd, const struct stat& st, fuse_ino_t parent, const char* name) {
    std::lock_guard lock(mutex_);
    auto [it, added] = byKey_.try_emplace(Key{st.st_dev, st.st_ino}, nextId_);
    if (added) {
        byId_[nextId_++] = std::make_unique<Node>(Node{fd, st.st_dev, st.st_ino, 0, parent, name});
        if (byId_.size() > highWater_) crowded_.notify_all();
    } else {
        close(fd);
    }
    ++byId_.at(it->second)->lookups;
    return it->second;
}

void NodeTable::forget(fuse_ino_t id, std::uint64_t count) {
    std::lock_guard lock(mutex_);
    const auto it = byId_.find(id);
    if (it == byId_.end()) return;  // the root, or an id the kernel does not hold
    Node& gone = *it->second;
    gone.lookups -= std::min(count, gone.lookups);
    if (gone.lookups > 0) return;
    close(gone.fd);
    byKey_.erase(Key{gone.dev, gone.ino});
    byId_.erase(it);
}

void NodeTable::setHighWater(std::size_t count) {
    std::lock_guard lock(mutex_);
    highWater_ = count;
}

bool NodeTable::waitCrowded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return crowded_.wait_for(lock, timeout, [this] { return byId_.size() > highWater_; });
}

std::vector<Place> NodeTable::places() {
    std::lock_guard lock(mutex_);
    std::vector<Place> all;
    all.reserve(byId_.size());
    for (const auto& entry : byId_) all.push_back(Place{entry.second->parent, entry.second->name});
    return all;
}

}  // namespace latencyfs
