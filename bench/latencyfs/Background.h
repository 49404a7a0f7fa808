// The two threads that run beside the request workers: one writes the request counts when
// asked to, one keeps the number of nodes, and so of open descriptors, within the limit.
// Both block every signal, so that SIGTERM and SIGINT reach a thread that stops the session.
#pragma once

#include <signal.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>

#include "Mirror.h"

namespace latencyfs {

// Replaces the file whole, so that whoever reads it sees either the old line or the new one.
// Does nothing when file is empty.
void writeCounts(const std::string& file, const Counters& counters);

// The signal that asks for the counts; every thread but the reporter's must block it.
sigset_t reportSignal();

// Writes the counts on each SIGUSR1, taken with sigwait so that no handler runs for it.
class CountReporter {
public:
    CountReporter(const std::string& file, const Counters& counters);
    ~CountReporter();
    CountReporter(const CountReporter&) = delete;
    CountReporter& operator=(const CountReporter&) = delete;

private:
    void run();

    const std::string& file_;
    const Counters& counters_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// The kernel keeps a dentry whose timeout is 0 until memory runs short, and with it the node
// and the node's descriptor, so a large tree would use up the descriptors. When there are
// more nodes than highWater, the trimmer tells the kernel to drop the entry of every node:
// it drops those not in use and forgets their nodes. Nothing is cached either way, so scans
// see no difference but fewer open descriptors.
class Trimmer {
public:
    Trimmer(fuse_session* session, Mirror& mirror, std::size_t highWater);
    ~Trimmer();
    Trimmer(const Trimmer&) = delete;
    Trimmer& operator=(const Trimmer&) = delete;

private:
    void run();
    void trim();

    fuse_session* session_;
    Mirror& mirror_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace latencyfs
