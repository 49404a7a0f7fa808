#include "Background.h"

#include <errno.h>
#include <pthread.h>

#include <cstdio>
#include <cstring>

namespace latencyfs {
namespace {

// How often the trimmer looks whether it is to stop, and how long it leaves the kernel to
// forget nodes after it has trimmed.
constexpr std::chrono::milliseconds kStopCheck{100};
constexpr std::chrono::milliseconds kForgetTime{20};

template <typename Work>
std::thread startBlockingSignals(Work work) {
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    std::thread thread(work);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return thread;
}

}  // namespace

void writeCounts(const std::string& file, const Counters& counters) {
    if (file.empty()) return;
    const std::string temporary = file + ".tmp";
    const std::string line = counters.line() + "\n";
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    bool written = out != nullptr && std::fputs(line.c_str(), out) >= 0;
    if (out != nullptr && std::fclose(out) != 0) written = false;
    if (written && std::rename(temporary.c_str(), file.c_str()) == 0) return;
    std::fprintf(stderr, "latencyfs: cannot write the counts to %s: %s\n", file.c_str(),
                 std::strerror(errno));
}

sigset_t reportSignal() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGUSR1);
    return set;
}

CountReporter::CountReporter(const std::string& file, const Counters& counters)
    : file_(file), counters_(counters), thread_(startBlockingSignals([this] { run(); })) {}

CountReporter::~CountReporter() {
    stopping_ = true;
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
}

void CountReporter::run() {
    const sigset_t set = reportSignal();
    int signal = 0;
    while (sigwait(&set, &signal) == 0 && !stopping_) writeCounts(file_, counters_);
}

Trimmer::Trimmer(fuse_session* session, Mirror& mirror, std::size_t highWater)
    : session_(session), mirror_(mirror) {
    mirror_.nodes.setHighWater(highWater);
    thread_ = startBlockingSignals([this] { run(); });
}

Trimmer::~Trimmer() {
    stopping_ = true;
    thread_.join();
}

void Trimmer::run() {
    while (!stopping_) {
        if (!mirror_.nodes.waitCrowded(kStopCheck) || stopping_) continue;
        trim();
        // The forgets follow; trimming again before they have come would be wasted.
        std::this_thread::sleep_for(kForgetTime);
    }
}

// A folder's entry goes with every unused entry beneath it. ENOENT only says that the kernel
// holds no such entry (any more), or no longer knows the parent.
void Trimmer::trim() {
    for (const Place& place : mirror_.nodes.places()) {
        fuse_lowlevel_notify_inval_entry(session_, place.parent, place.name.c_str(),
                                         place.name.size());
    }
}

}  // namespace latencyfs
