#pragma once

#include <cstddef>
#include <string>

#include "app/EventPump.h"
#include "app/Throttle.h"
#include "scan/ScanHost.h"

namespace voidbroom {

class Form1;

// The main window's side of a scan. The walk yields and names its folder once per visit;
// the window serves that cheaply: it applies the latest caption and handles pending events at
// most every few milliseconds, so a big scan is bound by the disk and not by the window. It
// appends entries to the list as they come but shows them ten times a second: redrawing the
// list and its scroll bar every few milliseconds cost a warm scan a tenth of its time. Once
// the window has been closed it touches nothing of it.
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
    // Brings the window up to date; the list too when `allEntries`, else when it is due.
    void show(bool allEntries);

    Form1& form_;
    EventPump pump_;
    std::string caption_;
    bool captionChanged_ = false;
    Throttle listDue_{100'000'000};
    std::size_t firstUnshown_;  // the list's first entry not yet shown
};

}  // namespace voidbroom
