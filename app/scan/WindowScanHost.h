#pragma once

#include <string>

#include "app/EventPump.h"
#include "scan/ScanHost.h"

namespace voidbroom {

class Form1;

// The main window's side of a scan. The walk yields and names its folder once per visit;
// the window serves that cheaply: it appends entries to the list as they come but shows
// them, applies the latest caption and handles pending events at most every few
// milliseconds, so a big scan is bound by the disk and not by the window. Once the window
// has been closed it touches nothing of it.
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
    void show();

    Form1& form_;
    EventPump pump_;
    std::string caption_;
    bool captionChanged_ = false;
    bool entriesAdded_ = false;
};

}  // namespace voidbroom
