#pragma once

#include <functional>

#include "app/Throttle.h"

namespace voidbroom {

class Form1;

// Serves the yields of a long command that the main window runs (a scan, a content listing
// for the content window or for the log). Such a command yields once per folder; the window
// handles its pending events at most every few milliseconds, so the command is bound by the
// disk and not by the event loop. Once the main window has been closed it handles nothing.
class EventPump {
public:
    // `hook` runs at every yield (a seam for tests that act in the middle of a command).
    EventPump(Form1& form, const std::function<void()>& hook);

    // The command's yield; false once the main window has been closed.
    bool pump();

    // Runs just before pending events are handled: what the window shows of the command's
    // progress (the caption, new entries) is brought up to date there.
    std::function<void()> beforeEvents;

private:
    Form1& form_;
    const std::function<void()>& hook_;
    Throttle due_;
};

}  // namespace voidbroom
