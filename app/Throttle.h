#pragma once

#include <QElapsedTimer>

namespace voidbroom {

// Tells when work that the window may do less often than it is asked for is due again: at
// most once every 10 ms, short enough to feel immediate and long enough to cost nothing next
// to the disk work that asks for it (a scan's caption and events, a save's dots, repaints).
class Throttle {
public:
    static constexpr qint64 kIntervalNs = 10'000'000;

    // True the first time, then once the interval has passed since it last said true.
    bool due() {
        if (timer_.isValid() && timer_.nsecsElapsed() < kIntervalNs) return false;
        timer_.start();
        return true;
    }

private:
    QElapsedTimer timer_;
};

}  // namespace voidbroom
