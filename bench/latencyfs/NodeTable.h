// The source files and folders the kernel holds references to.
#pragma once

#define FUSE_USE_VERSION 312
#include <fuse_lowlevel.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace latencyfs {

// A source file or folder, kept open with O_PATH so that no path is ever rebuilt: names with
// any bytes and trees deeper than PATH_MAX work.
struct Node {
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t lookups = 0;
    // Where the kernel first found it, for telling the kernel to drop that entry.
    fuse_ino_t parent = 0;
    std::string name;
};

// A name the kernel may hold a dentry for: name in the folder whose node id is parent.
struct Place {
    fuse_ino_t parent;
    std::string name;
};

// The nodes by (st_dev, st_ino) of the source, so that a file has one node however it is
// reached, and by id. Ids count up and are never used twice, so that an id the kernel has
// forgotten can name nothing else. The root is FUSE_ROOT_ID and is never forgotten.
class NodeTable {
public:
    explicit NodeTable(int rootFd);
    ~NodeTable();
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;

    // The node of an id the kernel holds; any other id gives a node without a descriptor.
    Node& node(fuse_ino_t id);
    // Takes fd, which refers to the file st describes, found as name in parent, and returns
    // the id of its node with one more lookup counted. A node already known keeps its own
    // descriptor and place.
    fuse_ino_t remember(int fd, const struct stat& st, fuse_ino_t parent, const char* name);
    void forget(fuse_ino_t id, std::uint64_t count);
    // Sets how many nodes are too many for the descriptors there are.
    void setHighWater(std::size_t count);
    // Waits up to timeout for there to be too many nodes; whether there are.
    bool waitCrowded(std::chrono::milliseconds timeout);
    // Where each node but the root was found.
    std::vector<Place> places();

private:
    using Key = std::pair<dev_t, ino_t>;
    Node root_;
    Node unknown_;
    std::mutex mutex_;
    std::condition_variable crowded_;
    std::size_t highWater_ = SIZE_MAX;
    fuse_ino_t nextId_ = FUSE_ROOT_ID + 1;
    std::unordered_map<fuse_ino_t, std::unique_ptr<Node>> byId_;
    std::map<Key, fuse_ino_t> byKey_;
};

}  // namespace latencyfs
