#pragma once

#include <string>

#include "scan/ResultEntry.h"

namespace voidbroom {

// What the folder walk needs from whoever runs it: the window, the command-line tool, the
// tests and the benchmark each supply their own. All calls come from the walking thread.
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // Called once at the start of every folder visit: a chance to handle pending events.
    virtual void yield() = 0;
    // Read once per visit, right after yield(); true ends the walk.
    virtual bool stopRequested() = 0;
    // The folder being examined (for the caption). The reference is valid during the call.
    virtual void showFolder(const std::string& path) = 0;
    // A folder that the walk lists, in walk order.
    virtual void addEntry(const ResultEntry& entry) = 0;
};

}  // namespace voidbroom
