#pragma once

#include <sys/resource.h>
#include <time.h>

#include <chrono>

namespace voidbroom {

// The processor time the calling thread has used, and how often it has slept (given up the
// processor to wait for something: the disk, the network, a lock). The pace that engages
// reading ahead tells waiting from working with them.
inline std::chrono::nanoseconds threadCpuTime() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

inline long threadSleeps() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

}  // namespace voidbroom
