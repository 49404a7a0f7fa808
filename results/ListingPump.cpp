#include "results/ListingPump.h"

#include <QCoreApplication>

#include "app/Form1.h"

namespace voidbroom {
namespace {
// As for the scan: pumping costs nothing next to the listing, and still feels immediate.
constexpr qint64 kPumpIntervalNs = 10'000'000;
}  // namespace

ListingPump::ListingPump(Form1& form) : form_(form) {}

bool ListingPump::yield() {
    if (form_.contentYieldHook) form_.contentYieldHook();
    if (form_.closed()) return false;
    if (sincePump_.isValid() && sincePump_.nsecsElapsed() < kPumpIntervalNs) return true;
    if (beforeEvents) beforeEvents();
    QCoreApplication::processEvents();
    sincePump_.start();
    return !form_.closed();
}

}  // namespace voidbroom
