#pragma once

#include <string>
#include <vector>

#include "tests/support/TempTree.h"

namespace voidbroom::test {

// Runs `argv` (its first word looked up on PATH, then in /usr/sbin and /sbin) in a child, its
// output and errors gathered in `output`; returns its exit status, or -1 when it did not run
// or end normally. Nothing goes through a shell, so no argument needs quoting.
int runProgram(const std::vector<std::string>& argv, std::string& output);

// Why file systems of `type` cannot be made and loop-mounted here ("" when they can): not
// root, no loop devices, no such file system in the kernel, or no mkfs.`type`.
std::string whyNoLoopMount(const std::string& type);

// A fresh file system of `type` ("btrfs", "ext4") in a sparse image file `name`.img inside
// `tree`, formatted with mkfs.`type` -q and mounted at the folder `name` with mount -o loop for
// the rest of the scope. Unmounted (lazily, so that a test that failed with a folder still open
// does not keep it) and its loop device freed when it goes out of scope, however the test ends;
// it must go before `tree` does.
class LoopMount {
public:
    LoopMount(const TempTree& tree, const std::string& name, const std::string& type);
    ~LoopMount();
    LoopMount(const LoopMount&) = delete;
    LoopMount& operator=(const LoopMount&) = delete;

    bool mounted() const { return mounted_; }
    // Whether this machine cannot mount it at all (GTEST_SKIP), rather than it failed here.
    bool impossible() const { return impossible_; }
    // Why it is not mounted.
    const std::string& why() const { return why_; }
    // The mount point, without a final "/".
    const std::string& top() const { return top_; }

private:
    bool mount(const std::string& type);
    void freeLoopDevice() const;

    std::string image_, top_, why_, loopDevice_;
    bool mounted_ = false;
    bool impossible_ = false;
};

// Makes a btrfs subvolume at `path` (btrfs subvolume create); false with the reason in `why`.
bool makeSubvolume(const std::string& path, std::string& why);

// An overlay of the folders `lower` (read-only) and `upper`, with the work folder `work`, all
// on the file system of the temporary folder, mounted at `merged` for the rest of the scope.
struct OverlayMount {
    OverlayMount(const std::string& lower, const std::string& upper, const std::string& work,
                 const std::string& merged);
    ~OverlayMount();
    OverlayMount(const OverlayMount&) = delete;
    OverlayMount& operator=(const OverlayMount&) = delete;

    bool mounted = false;
    bool impossible = false;  // not root, or no overlays in the kernel
    std::string why;
    std::string at;
};

}  // namespace voidbroom::test
