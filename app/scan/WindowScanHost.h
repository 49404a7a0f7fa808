#pragma once

#include <cstddef>
#include <string>

#include "app/EventPump.h"
#include "app/Throttle.h"
#include "scan/ScanHost.h"

namespace voidbroom {

class Form1;

// The main window's side of a scan. The walk yields and names its folder once per visit;
// the window serves that cheaply: it handles pending events at most every few milliseconds, so
// a big scan is bound by the disk and not by the window. It appends entries to the list as
// they come but shows them ten times a second: redrawing the list and its scroll bar every few
// milliseconds cost a warm scan a tenth of its time. The caption, the window's title, shows
// the latest folder at most 25 times a second, still faster than anyone reads it: on X11 each
// title is two property changes that the server passes on to the window manager, and one at
// every pump cost a warm scan about 1%. Once the window has been closed it touches nothing of
// it.
class WindowScanHost : public ScanHost {
public:
    explicit WindowScanHost(Form1& form);

    void yield() override;
    bool stopRequested() override;
    void showFolder(const std::string& path) override;
    void addEntry(const ResultEntry& entry) override;

    // Shows what the last pump has not shown yet.
    void finish();

private:
    // Brings what the window shows of the scan up to date: all of it when `all`, else the
    // list and the caption each when it is due.
    void show(bool all);

    Form1& form_;
    EventPump pump_;
    std::string caption_;
    bool captionChanged_ = false;
    Throttle captionDue_{40'000'000};
    Throttle listDue_{100'000'000};
    std::size_t firstUnshown_;  // the list's first entry not yet shown
};

}  // namespace voidbroom
