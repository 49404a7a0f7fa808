#include "results/ListingPump.h"

#include <QCoreApplication>

#include "app/Form1.h"

namespace voidbroom {
ListingPump::ListingPump(Form1& form) : form_(form) {}

bool ListingPump::yield() {
    if (form_.contentYieldHook) form_.contentYieldHook();
    if (form_.closed()) return false;
    if (!pumpDue_.due()) return true;
    if (beforeEvents) beforeEvents();
    QCoreApplication::processEvents();
    return !form_.closed();
}

}  // namespace voidbroom
