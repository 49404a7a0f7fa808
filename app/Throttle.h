#pragma once

#include <time.h>

#include <cstdint>

namespace voidbroom {

// Tells when work that the window may do less often than it is asked for is due again: by
// default at most once every 10 ms, short enough to feel immediate and long enough to cost
// nothing next to the disk work that asks for it (a scan's caption and events, a save's dots,
// repaints). A scan asks once per folder, so the clock read must be nearly free: the kernel's
// coarse monotonic clock is read without a system call and its few milliseconds of
// granularity only make the interval a few milliseconds longer.
class Throttle {
public:
    static constexpr std::int64_t kIntervalNs = 10'000'000;

    explicit Throttle(std::int64_t intervalNs = kIntervalNs)
        : interval_(intervalNs), last_(-intervalNs) {}

    // True the first time, then once the interval has passed since it last said true.
    bool due() {
        const std::int64_t now = nowNs();
        if (now - last_ < interval_) return false;
        last_ = now;
        return true;
    }

private:
    static std::int64_t nowNs() {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
        return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
    }

    std::int64_t interval_;
    std::int64_t last_;  // the clock starts at 0: due the first time
};

}  // namespace voidbroom
