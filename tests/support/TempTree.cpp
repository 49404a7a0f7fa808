#include "tests/support/TempTree.h"

#include "fs/DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace voidbroom::test {
namespace {

void check(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error(what + ": " + std::strerror(errno));
}

void writeBytes(int folder, const std::string& name, long bytes) {
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    check(fd >= 0, "create " + name);
    const std::string content(static_cast<std::size_t>(bytes), 'x');
    const bool written =
        write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    close(fd);
    check(written, "write " + name);
}

std::string shellQuoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

TempTree::TempTree(const std::vector<std::string>& items) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/voidbroom-test-XXXXXX";
    check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    root_ = pattern;
    check(chmod(root_.c_str(), 0755) == 0, "chmod " + root_);
    for (const auto& item : items) add(item);
}

TempTree::~TempTree() {
    const std::string cmd =
        (geteuid() == 0 ? "" : "chmod -R u+rwX " + shellQuoted(root_) + " 2>/dev/null; ") +
        "rm -rf --one-file-system " + shellQuoted(root_);
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root_.c_str());
}

void TempTree::add(const std::string& item) {
    const auto arrow = item.find(" -> ");
    const auto colon = item.rfind(':');
    if (arrow == std::string::npos && item.ends_with("/")) {
        std::filesystem::create_directories(path(item));
        return;
    }
    const bool fifo = arrow == std::string::npos && item.ends_with("|");
    if (arrow == std::string::npos && !fifo && colon == std::string::npos)
        throw std::invalid_argument("file without length: " + item);
    const std::string at = path(item.substr(0, arrow != std::string::npos ? arrow
                                               : fifo                     ? item.size() - 1
                                                                          : colon));
    std::filesystem::create_directories(std::filesystem::path(at).parent_path());
    if (arrow != std::string::npos)
        check(symlink(item.substr(arrow + 4).c_str(), at.c_str()) == 0, "symlink " + at);
    else if (fifo)
        check(mkfifo(at.c_str(), 0644) == 0, "mkfifo " + at);
    else
        writeBytes(AT_FDCWD, at, std::stol(item.substr(colon + 1)));
}

void TempTree::addChain(const std::string& relative, int depth, const std::string& name,
                        const std::string& leafFile, int leafBytes) {
    int fd = open(path(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(fd >= 0, "open " + relative);
    for (int i = 0; i < depth; ++i) {
        check(mkdirat(fd, name.c_str(), 0755) == 0 || errno == EEXIST, "mkdirat");
        const int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(fd);
        check(next >= 0, "openat");
        fd = next;
    }
    if (!leafFile.empty()) writeBytes(fd, leafFile, leafBytes);
    close(fd);
}

std::string contentOf(const std::string& path) {
    if (!std::filesystem::is_regular_file(path)) return {};
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool endOfListingMarked(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    check(fd >= 0, "open " + folder);
    alignas(dirent64) char buffer[8192];
    const ssize_t bytes = getdents64(fd, buffer, sizeof buffer);
    const std::int64_t mark = listingEndMarkOf(fd);
    close(fd);
    std::int64_t lastOffset = kNoEndMark;
    for (ssize_t pos = 0; pos < bytes;) {
        const auto* entry = reinterpret_cast<const dirent64*>(buffer + pos);
        lastOffset = entry->d_off;
        pos += entry->d_reclen;
    }
    return mark != kNoEndMark && lastOffset == mark;
}

int runInChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(body());
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int runUnprivileged(const std::function<int()>& body) {
    if (geteuid() != 0) return body();
    return runInChild([&] {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) return 99;
        return body();
    });
}

bool mountTmpfs(const std::string& folder, std::string& why) {
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=1m") == 0) return true;
    why = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
    return false;
}

void unmount(const std::string& folder) {
    umount2(folder.c_str(), MNT_DETACH);
}

}  // namespace voidbroom::test
