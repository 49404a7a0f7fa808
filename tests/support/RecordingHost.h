#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scan/FolderWalker.h"

namespace voidbroom::test {

using Lines = std::vector<std::string>;

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
    Lines entries, captions;
};

// Walks `rootPath` in `mode` and returns the host, with what the walk reported.
inline RecordingHost walk(const std::string& rootPath, int mode) {
    RecordingHost host(mode);
    FolderWalker(host).ScanFolder(rootPath);
    return host;
}

// Where two lists of lines first differ, with a few lines of each from there on ("" when
// they are equal); a very long line (a deep path) is shown by its ends and its length. Also
// for child processes, which report on stderr.
inline std::string lineDifference(const Lines& expected, const Lines& actual) {
    if (expected == actual) return {};
    const auto shown = [](const std::string& line) {
        if (line.size() <= 200) return line;
        return line.substr(0, 100) + "[..." + std::to_string(line.size()) + " bytes...]" + line.substr(line.size() - 60);
    };
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    std::string text = "first difference at line " + std::to_string(at) + " (expected " +
                       std::to_string(expected.size()) + " lines, got " + std::to_string(actual.size()) + ")\n";
    for (std::size_t i = at; i < at + 4 && i < expected.size(); ++i) text += "  - " + shown(expected[i]) + "\n";
    for (std::size_t i = at; i < at + 4 && i < actual.size(); ++i) text += "  + " + shown(actual[i]) + "\n";
    return text;
}

}  // namespace voidbroom::test
