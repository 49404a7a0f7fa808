// latencyfs: mounts a read-only mirror of a folder on which every metadata request is slow,
// to time scans as if the folder were a network share. It stays in the foreground until the
// mirror is unmounted or the program is told to stop, then writes how many requests it had.
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Background.h"
#include "Mirror.h"

namespace latencyfs {
namespace {

constexpr int kFailure = 1;
constexpr int kBadArguments = 2;
// Enough waiting workers that 32 parallel requests are all served at once.
constexpr unsigned kIdleThreads = 64;
constexpr unsigned kMaxThreads = 256;

constexpr const char* kUsage =
    "usage: latencyfs [--delay-us D] [--count-file FILE] [-f] SOURCE MOUNTPOINT\n"
    "Mounts a read-only mirror of the folder SOURCE on MOUNTPOINT and answers each lookup,\n"
    "getattr, opendir, readdir and open D microseconds late (default 0). It runs in the\n"
    "foreground (-f is accepted and changes nothing) until the mirror is unmounted or it gets\n"
    "SIGTERM or SIGINT, then writes the request counts to FILE as one line:\n"
    "  lookup=N getattr=N opendir=N readdir=N open=N other=N total=N\n"
    "SIGUSR1 writes the counts so far without stopping.\n";

struct Options {
    std::chrono::microseconds delay{0};
    std::string countFile;
    std::vector<std::string> operands;
};

enum class Parse { Ok, Help, Bad };

Parse bad(const std::string& message) {
    std::fprintf(stderr, "latencyfs: %s\n%s", message.c_str(), kUsage);
    return Parse::Bad;
}

// Whether arg is the option name, as "name VALUE" or "name=VALUE"; a missing VALUE is empty.
bool takeValue(std::string_view name, std::string_view arg, int argc, char** argv, int& i,
               std::string_view& value) {
    if (arg == name) {
        value = i + 1 < argc ? argv[++i] : "";
        return true;
    }
    if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

bool parseDelay(std::string_view text, std::chrono::microseconds& delay) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || value < 0) return false;
    delay = std::chrono::microseconds(value);
    return true;
}

Parse parseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view value;
        if (arg == "-h" || arg == "--help") return Parse::Help;
        if (arg == "-f") continue;
        if (arg == "--") {
            options.operands.insert(options.operands.end(), argv + i + 1, argv + argc);
            break;
        }
        if (takeValue("--delay-us", arg, argc, argv, i, value)) {
            if (!parseDelay(value, options.delay)) {
                return bad("--delay-us takes a whole number of microseconds, not '" +
                           std::string(value) + "'");
            }
        } else if (takeValue("--count-file", arg, argc, argv, i, value)) {
            if (value.empty()) return bad("--count-file takes a file name");
            options.countFile = value;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return bad("unknown option " + std::string(arg));
        } else {
            options.operands.emplace_back(arg);
        }
    }
    if (options.operands.size() != 2) return bad("SOURCE and MOUNTPOINT are needed, and no more");
    return Parse::Ok;
}

bool canOpenFuseDevice() {
    const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "latencyfs: cannot open /dev/fuse: %s (is FUSE available here?)\n",
                     std::strerror(errno));
        return false;
    }
    close(fd);
    return true;
}

// FUSE would mount on a file too, and show the mirror's root folder as that file.
bool isFolder(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Each node the kernel holds keeps a descriptor open, and the kernel holds one for every file
// and folder a scan has seen until the trimmer has it drop them: allow as many descriptors as
// the system lets root have, or at least as many as the hard limit.
void raiseFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    unsigned long most = 0;
    if (std::FILE* in = std::fopen("/proc/sys/fs/nr_open", "r")) {
        if (std::fscanf(in, "%lu", &most) != 1) most = 0;
        std::fclose(in);
    }
    const rlimit wanted{most, most};
    if (most > limit.rlim_max && setrlimit(RLIMIT_NOFILE, &wanted) == 0) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// The most nodes to hold before the trimmer has the kernel forget some: a quarter of the
// descriptors is left for open files, listings and bursts of lookups.
std::size_t nodeHighWater() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 1 << 20;
    return static_cast<std::size_t>(limit.rlim_cur) / 4 * 3;
}

// Serves requests until the mirror is unmounted or a signal ends the session.
int loop(fuse_session* session, Mirror& mirror, const std::string& countFile) {
    CountReporter reporter(countFile, mirror.counters);
    Trimmer trimmer(session, mirror, nodeHighWater());
    fuse_loop_config* config = fuse_loop_cfg_create();
    fuse_loop_cfg_set_idle_threads(config, kIdleThreads);
    fuse_loop_cfg_set_max_threads(config, kMaxThreads);
    const int result = fuse_session_loop_mt(session, config);
    fuse_loop_cfg_destroy(config);
    if (result >= 0) return 0;  // 0 when unmounted, the signal's number when stopped by one
    std::fprintf(stderr, "latencyfs: serving the mirror failed: %s\n", std::strerror(-result));
    return kFailure;
}

int serve(Mirror& mirror, const char* mountpoint, const std::string& countFile) {
    char name[] = "latencyfs";
    char optionFlag[] = "-o";
    char mountOptions[] = "ro,default_permissions,fsname=latencyfs,subtype=latencyfs";
    char* arguments[] = {name, optionFlag, mountOptions, nullptr};
    fuse_args args = FUSE_ARGS_INIT(3, arguments);
    const fuse_lowlevel_ops ops = mirrorOps();
    fuse_session* session = fuse_session_new(&args, &ops, sizeof ops, &mirror);
    fuse_opt_free_args(&args);
    if (session == nullptr) {
        std::fprintf(stderr, "latencyfs: cannot start a FUSE session\n");
        return kFailure;
    }
    int status = kFailure;
    // A shell starts background jobs with SIGINT ignored, and libfuse leaves an ignored signal
    // alone; but SIGINT is one of the ways this program is told to stop.
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (fuse_set_signal_handlers(session) != 0) {
        std::fprintf(stderr, "latencyfs: cannot set the signal handlers\n");
    } else if (fuse_session_mount(session, mountpoint) != 0) {
        std::fprintf(stderr, "latencyfs: cannot mount the mirror on %s\n", mountpoint);
        fuse_remove_signal_handlers(session);
    } else {
        status = loop(session, mirror, countFile);
        fuse_session_unmount(session);
        fuse_remove_signal_handlers(session);
        writeCounts(countFile, mirror.counters);
    }
    fuse_session_destroy(session);
    return status;
}

int run(const Options& options) {
    const std::string& source = options.operands[0];
    const int rootFd = open(source.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        std::fprintf(stderr, "latencyfs: cannot open the folder %s: %s\n", source.c_str(),
                     std::strerror(errno));
        return kFailure;
    }
    char* mountpoint = realpath(options.operands[1].c_str(), nullptr);
    if (mountpoint == nullptr) {
        std::fprintf(stderr, "latencyfs: cannot find the mount point %s: %s\n",
                     options.operands[1].c_str(), std::strerror(errno));
        close(rootFd);
        return kFailure;
    }
    int status = kFailure;
    if (!isFolder(mountpoint)) {
        std::fprintf(stderr, "latencyfs: the mount point %s is not a folder\n", mountpoint);
    } else if (canOpenFuseDevice()) {
        raiseFileLimit();
        const sigset_t set = reportSignal();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);  // before any thread starts
        Mirror mirror(rootFd, options.delay);
        status = serve(mirror, mountpoint, options.countFile);
    }
    free(mountpoint);
    close(rootFd);
    return status;
}

}  // namespace
}  // namespace latencyfs

int main(int argc, char** argv) {
    latencyfs::Options options;
    switch (latencyfs::parseArguments(argc, argv, options)) {
        case latencyfs::Parse::Help:
            std::fputs(latencyfs::kUsage, stdout);
            return 0;
        case latencyfs::Parse::Bad:
            return latencyfs::kBadArguments;
        case latencyfs::Parse::Ok:
            break;
    }
    return latencyfs::run(options);
}
