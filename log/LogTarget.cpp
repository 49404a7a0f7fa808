#include "log/LogTarget.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel allows

std::string errorText(int error) {
    return std::strerror(error);
}

// The names in `path`, in order, without empty ones; a final "/" asks for a folder, as a
// final "." does.
std::deque<std::string> namesOf(const std::string& path) {
    std::deque<std::string> names;
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) names.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    if (path.back() == '/') names.push_back(".");
    return names;
}

// The link's target; "" with errno set when it cannot be read (a target is never empty).
std::string readLinkAt(int folder, const std::string& name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = readlinkat(folder, name.c_str(), target.data(), target.size());
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// Sticky and writable by everyone: anyone may put a name there, and only the name's owner
// and the folder's owner may take it away or replace it.
bool shared(const struct stat& folder) {
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// The kernel's own test for the links it follows and the files it lets be opened for
// writing in such a folder.
bool trusted(const struct stat& entry, const struct stat& folder) {
    return !shared(folder) || entry.st_uid == geteuid() || entry.st_uid == folder.st_uid;
}

}  // namespace

LogTarget::LogTarget(const std::string& path) : path_(path) {
    if (path.empty()) fail("no path is given");
    if (path.back() == '/') fail("a path that ends in \"/\" names a folder, not a file");
    left_ = namesOf(path);
    if (path.front() == '/') {
        startAtRoot();
    } else {
        folder_.reset(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder_) fail(errorText(errno));
    }
    walk();
}

std::string LogTarget::folderPath() const {
    return folderPath_.empty() ? "." : folderPath_;
}

void LogTarget::walk() {
    for (;;) {
        const std::string name = std::move(left_.front());
        left_.pop_front();
        struct stat st {};
        const bool found = fstatat(folder(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        const int error = errno;
        if (found && S_ISLNK(st.st_mode)) {
            follow(name, st);
            continue;
        }
        if (left_.empty()) {
            // A name that cannot be looked at is left to the create, which says why.
            name_ = name;
            exists_ = found;
            file_ = st;
            if (found) checkFile(st);
            return;
        }
        if (!found && error == ENOENT) fail("the folder " + folderAhead(name) + " does not exist");
        if (!found)
            fail("no file can be created in the folder " + folderAhead(name) + ": " +
                 errorText(error));
        enter(name);
    }
}

void LogTarget::enter(const std::string& name) {
    if (name == ".") return;
    Fd next(openat(folder(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next) {
        const int error = errno;
        fail("no file can be created in the folder " + folderAhead(name) + ": " + errorText(error));
    }
    folder_ = std::move(next);
    folderPath_ = pathOf(name);
}

// The link is checked before it is read, and both through the folder held open: in a shared
// folder only the link's owner and the folder's owner may replace it, and they are the ones
// the check trusts, so the link that is read is the one that was checked.
void LogTarget::follow(const std::string& name, const struct stat& link) {
    if (++hops_ > kMaxLinkHops) fail(errorText(ELOOP));
    if (!trusted(link, folderStat()))
        fail("the link " + pathOf(name) + " was put in the shared folder " + folderPath() +
             " by another user, and is not followed");
    const std::string target = readLinkAt(folder(), name);
    if (target.empty()) fail(errorText(errno));
    const std::deque<std::string> names = namesOf(target);
    left_.insert(left_.begin(), names.begin(), names.end());
    if (target.front() == '/') startAtRoot();
}

void LogTarget::startAtRoot() {
    folder_.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder_) fail(errorText(errno));
    folderPath_.assign(1, '/');  // not = "/": GCC 12 warns wrongly of an overlap there
}

void LogTarget::checkFile(const struct stat& file) const {
    if (S_ISDIR(file.st_mode)) fail("it is a folder");
    if (!S_ISREG(file.st_mode)) fail("it is not a regular file");
    if (!trusted(file, folderStat()))
        fail("the file " + pathOf(name_) + " belongs to another user in the shared folder " +
             folderPath() + ", and is not written");
}

void LogTarget::fail(const std::string& reason) const {
    throw FsError(path_, reason);
}

std::string LogTarget::pathOf(const std::string& name) const {
    return folderPath_.empty() ? name : childPath(folderPath_, name);
}

// The folder the walk is headed for, from `name` on, for a step that fails on the way.
std::string LogTarget::folderAhead(const std::string& name) const {
    std::string folder = pathOf(name);
    for (std::size_t i = 0; i + 1 < left_.size(); ++i) appendChild(folder, left_[i]);
    return folder;
}

struct stat LogTarget::folderStat() const {
    struct stat st {};
    if (fstat(folder(), &st) != 0) fail(errorText(errno));
    return st;
}

}  // namespace voidbroom
