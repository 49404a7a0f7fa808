#pragma once

#include "app/Throttle.h"
#include <functional>

namespace voidbroom {

class Form1;

// Serves the yields of a content listing that the main window runs (for the content window
// or for the log). A listing yields before every subfolder; the window handles its pending
// events at most every few milliseconds, so a long listing is bound by the disk and not by
// the event loop. Once the main window has been closed the listing is told to end.
class ListingPump {
public:
    explicit ListingPump(Form1& form);

    // The listing's yield; false once the window has been closed.
    bool yield();

    // Runs just before pending events are handled (the log save shows its caption there).
    std::function<void()> beforeEvents;

private:
    Form1& form_;
    Throttle pumpDue_;
};

}  // namespace voidbroom
