// A read-only FUSE mirror of a source folder that holds every metadata request back by a
// fixed delay, so that scans can be measured as if the folder were on a slow network share.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "NodeTable.h"

namespace latencyfs {

// The kinds of request counted one by one; everything else is summed as Other.
enum class Kind { Lookup, Getattr, Opendir, Readdir, Open, Other };
constexpr std::size_t kKindCount = 6;

class Counters {
public:
    void add(Kind kind) { counts_[static_cast<std::size_t>(kind)].fetch_add(1); }
    // "lookup=N getattr=N opendir=N readdir=N open=N other=N total=N"
    std::string line() const;

private:
    std::array<std::atomic<std::uint64_t>, kKindCount> counts_{};
};

// One entry of a folder as the source lists it, "." and ".." included.
struct Entry {
    std::string name;
    ino_t ino;
    unsigned char type;
};
using Listing = std::vector<Entry>;

// Lists the folder fd refers to (which may be an O_PATH descriptor); returns 0 or an errno.
int readListing(int fd, Listing& listing);

// The listings of the folders the kernel holds open. A folder's release comes after its close,
// and a session stopped by a signal ends with some not yet come: those go with the mirror.
class OpenListings {
public:
    Listing* add(std::unique_ptr<Listing> listing) {
        Listing* held = listing.get();
        std::lock_guard lock(mutex_);
        listings_.emplace(held, std::move(listing));
        return held;
    }
    void remove(Listing* listing) {
        std::lock_guard lock(mutex_);
        listings_.erase(listing);
    }

private:
    std::mutex mutex_;
    std::unordered_map<Listing*, std::unique_ptr<Listing>> listings_;
};

struct Mirror {
    Mirror(int rootFd, std::chrono::microseconds requestDelay)
        : nodes(rootFd), delay(requestDelay) {}
    NodeTable nodes;
    std::chrono::microseconds delay;
    Counters counters;
    OpenListings listings;
};

// The operations of the mirror; the session's user data must be the Mirror.
fuse_lowlevel_ops mirrorOps();

}  // namespace latencyfs
