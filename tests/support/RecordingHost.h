#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scan/FolderWalker.h"

namespace voidbroom::test {

// A scan host that records what the walk reports. `onYield` runs at every yield, with the
// number of yields so far, to stop the walk or change the tree under it.
class RecordingHost : public ScanHost {
public:
    explicit RecordingHost(int mode = 0) : mode(mode) {}

    void yield() override {
        ++yields;
        if (onYield) onYield(yields);
    }
    bool stopRequested() override { return stop; }
    void showFolder(const std::string& path) override { captions.push_back(path); }
    void addEntry(const std::string& entry, const FolderIdentity&) override { entries.push_back(entry); }
    int scanMode() override { return mode; }

    int mode;
    bool stop = false;
    int yields = 0;
    std::function<void(int)> onYield;
    std::vector<std::string> entries, captions;
};

// Walks `rootPath` in `mode` and returns the host, with what the walk reported.
inline RecordingHost walk(const std::string& rootPath, int mode) {
    RecordingHost host(mode);
    FolderWalker(host).ScanFolder(rootPath);
    return host;
}

}  // namespace voidbroom::test
