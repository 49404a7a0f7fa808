#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace voidbroom::test {

// A real folder tree in a fresh temporary folder, built from a declarative list and removed
// with everything in it when the object goes away. Each item is a path below the root:
//   "A/B/"          a folder (and its parents)
//   "A/f.txt:3"     a file of that many bytes "x" (and its parents)
//   "A/lnk -> ../B" a symbolic link with that target
//   "A/pipe|"       a FIFO
class TempTree {
public:
    explicit TempTree(const std::vector<std::string>& items = {});
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // The root folder, without a final "/"; the root path as a walk reports it, with one.
    const std::string& root() const { return root_; }
    std::string rootPath() const { return root_ + "/"; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    void add(const std::string& item);
    // Builds a chain of `depth` folders named `name` below `relative` ("" for the root),
    // through descriptors, so that it may be longer than PATH_MAX. With a `leafFile`, the
    // deepest folder gets a file of `leafBytes` bytes by that name.
    void addChain(const std::string& relative, int depth, const std::string& name,
                  const std::string& leafFile = {}, int leafBytes = 0);

private:
    std::string root_;
};

// Whether anything is at `path`, a link (even a dangling one) included.
inline bool exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}
// The whole content of a file ("" when it cannot be read), and the sorted names in a folder.
std::string contentOf(const std::string& path);
std::vector<std::string> namesIn(const std::string& folder);

// Whether the first batch of the listing of `folder`, a small one, ends with its file
// system's end-of-listing mark (listingEndMarkOf), so that a reader need not ask again.
bool endOfListingMarked(const std::string& folder);

// The user id of "nobody", which unprivileged children run as.
constexpr unsigned kNobody = 65534;

// Runs `body` in a forked child (to change its limits or user without touching this
// process); returns what it returned, or -1 when the child did not end normally.
int runInChild(const std::function<int()>& body);
// Runs `body` with the privileges of "nobody", so that permissions bite even when the tests
// run as root: in a child when this process is root, else in this process.
int runUnprivileged(const std::function<int()>& body);

// Mounts a small tmpfs at `folder`; false (with the reason in `why`) when this process may
// not mount. unmount() undoes it.
bool mountTmpfs(const std::string& folder, std::string& why);
void unmount(const std::string& folder);

// Undoes a mount when it goes out of scope, however the test ends.
struct MountedAt {
    std::string folder;
    ~MountedAt() { unmount(folder); }
};

// A small tmpfs mounted at `folder` for the rest of the scope, where this process may mount;
// `why` says why not otherwise.
struct TmpfsMount {
    explicit TmpfsMount(const std::string& folder)
        : mounted(mountTmpfs(folder, why)), at{mounted ? folder : ""} {}
    std::string why;  // first: the mount writes to it
    bool mounted;
    MountedAt at;
};

}  // namespace voidbroom::test
