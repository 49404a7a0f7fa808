#include "tests/support/LoopMount.h"

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "fs/Fd.h"

namespace voidbroom::test {
namespace {

// Sparse: only what mkfs and the test write takes room. btrfs needs a little over 100 MiB.
constexpr off_t kImageBytes = 256L << 20;

// The executable `name` on PATH, or in the system folders that root's PATH holds; "" if none.
std::string programPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(std::string(path ? path : "") + ":/usr/sbin:/sbin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (folder.empty()) continue;
        const std::string candidate = folder + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

bool kernelHas(const std::string& type) {
    std::ifstream known("/proc/filesystems");
    for (std::string line; std::getline(known, line);)
        if (line.size() > type.size() && line.ends_with("\t" + type)) return true;
    return false;
}

// The source of the mount at `folder` (the last one mounted there), from this process's table.
std::string mountSourceAt(const std::string& folder) {
    std::ifstream table("/proc/self/mountinfo");
    std::string source;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point, word;
        fields >> id >> parent >> numbers >> root >> point;
        if (point != folder) continue;
        while (fields >> word && word != "-") {
        }
        fields >> word >> source;  // the type, then the source
    }
    return source;
}

}  // namespace

int runProgram(const std::vector<std::string>& argv, std::string& output) {
    const std::string program = programPath(argv.at(0));
    if (program.empty()) {
        output = argv[0] + " is not installed";
        return -1;
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        dup2(pipeFds[1], 2);
        execv(program.c_str(), args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output.clear();
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
    close(pipeFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string whyNoLoopMount(const std::string& type) {
    if (geteuid() != 0) return "mounting a " + type + " image needs root";
    if (access("/dev/loop-control", R_OK | W_OK) != 0)
        return std::string("no loop devices: /dev/loop-control: ") + std::strerror(errno);
    if (!kernelHas(type)) return "the kernel has no " + type + " (/proc/filesystems)";
    if (programPath("mkfs." + type).empty()) return "mkfs." + type + " is not installed";
    if (type == "btrfs" && programPath("btrfs").empty()) return "btrfs is not installed";
    return {};
}

LoopMount::LoopMount(const TempTree& tree, const std::string& name, const std::string& type)
    : image_(tree.path(name + ".img")), top_(tree.path(name)) {
    why_ = whyNoLoopMount(type);
    impossible_ = !why_.empty();
    if (!impossible_) mounted_ = mount(type);
}

bool LoopMount::mount(const std::string& type) {
    if (mkdir(top_.c_str(), 0755) != 0 && errno != EEXIST) {
        why_ = top_ + ": " + std::strerror(errno);
        return false;
    }
    const Fd image(open(image_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!image || ftruncate(image.get(), kImageBytes) != 0) {
        why_ = image_ + ": " + std::strerror(errno);
        return false;
    }
    std::string output;
    if (runProgram({"mkfs." + type, "-q", image_}, output) != 0) {
        why_ = "mkfs." + type + " failed: " + output;
        return false;
    }
    if (runProgram({"mount", "-o", "loop", image_, top_}, output) != 0) {
        why_ = "mount -o loop failed: " + output;
        return false;
    }
    loopDevice_ = mountSourceAt(top_);
    return true;
}

LoopMount::~LoopMount() {
    if (!mounted_) return;
    umount2(top_.c_str(), MNT_DETACH);
    freeLoopDevice();
}

// mount -o loop lets the device go with the last unmount; where a lazy unmount still waits
// for a folder open somewhere, it is freed when that closes. Only a device still showing
// this image is touched: another test may have the number by now.
void LoopMount::freeLoopDevice() const {
    struct stat st;
    if (!loopDevice_.starts_with("/dev/loop") || stat(image_.c_str(), &st) != 0) return;
    const Fd device(open(loopDevice_.c_str(), O_RDONLY | O_CLOEXEC));
    loop_info64 info{};
    if (!device || ioctl(device.get(), LOOP_GET_STATUS64, &info) != 0) return;
    if (info.lo_inode == st.st_ino && info.lo_device == st.st_dev)
        ioctl(device.get(), LOOP_CLR_FD, 0);
}

bool makeSubvolume(const std::string& path, std::string& why) {
    std::string output;
    if (runProgram({"btrfs", "subvolume", "create", path}, output) == 0) return true;
    why = "btrfs subvolume create " + path + " failed: " + output;
    return false;
}

OverlayMount::OverlayMount(const std::string& lower, const std::string& upper,
                           const std::string& work, const std::string& merged)
    : at(merged) {
    if (geteuid() != 0) {
        impossible = true;
        why = "mounting an overlay needs root";
        return;
    }
    const std::string options = "lowerdir=" + lower + ",upperdir=" + upper + ",workdir=" + work;
    mounted = ::mount("overlay", merged.c_str(), "overlay", 0, options.c_str()) == 0;
    if (mounted) return;
    impossible = errno == EPERM || errno == ENODEV;
    why = "mount -t overlay overlay -o " + options + " " + merged + ": " + std::strerror(errno);
}

OverlayMount::~OverlayMount() {
    if (mounted) umount2(at.c_str(), MNT_DETACH);
}

}  // namespace voidbroom::test
