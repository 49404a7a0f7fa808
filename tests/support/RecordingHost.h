#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "scan/FolderWalker.h"

namespace voidbroom::test {

using Lines = std::vector<std::string>;

// For walks whose order the file system decides.
inline Lines sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A scan host that records what the walk reports. `onYield` runs at every yield, with the
// number of yields so far, to stop the walk or change the tree under it.
class RecordingHost : public ScanHost {
public:
    explicit RecordingHost(int mode = 0, unsigned threads = kDefaultReadAheadThreads)
        : mode(mode), threads(threads) {}
    // Walks `rootPath` in this host's mode, with its reader threads.
    WalkResult walk(const std::string& rootPath) {
        FolderWalker walker(*this);
        walker.setThreads(threads, engageAbove);
        return walker.ScanFolder(rootPath, mode);
    }

    void yield() override {
        ++yields;
        if (onYield) onYield(yields);
    }
    bool stopRequested() override { return stop; }
    void showFolder(const std::string& path) override { captions.push_back(path); }
    void addEntry(const ResultEntry& entry) override {
        entries.push_back(entryText(entry));
        kinds.push_back(entry.kind);
    }

    int mode;
    unsigned threads;  // 1 where a test changes the tree from the walk's yields
    // The readers read ahead from the first folder on, however fast the disk, so that the
    // tests see what reading ahead does.
    std::chrono::nanoseconds engageAbove{0};
    bool stop = false;
    int yields = 0;
    std::function<void(int)> onYield;
    Lines entries, captions;
    std::vector<EntryKind> kinds;
};

// Walks `rootPath` in `mode` and returns the host, with what the walk reported.
inline RecordingHost walk(const std::string& rootPath, int mode,
                          unsigned threads = kDefaultReadAheadThreads) {
    RecordingHost host(mode, threads);
    host.walk(rootPath);
    return host;
}

// "" when the lists are equal; else where they first differ, and their lengths. A long line
// (a deep path) is shown by its last 150 bytes. Also for child processes, which print it.
inline std::string lineDifference(const Lines& expected, const Lines& actual) {
    if (expected == actual) return {};
    const auto [e, a] =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    const auto shown = [](auto at, const Lines& lines) {
        return at == lines.end()   ? "(none)"
               : at->size() <= 150 ? *at
                                   : "..." + at->substr(at->size() - 150);
    };
    return "first difference at line " + std::to_string(e - expected.begin()) + " of " +
           std::to_string(expected.size()) + " expected, " + std::to_string(actual.size()) +
           " got:\n  - " + shown(e, expected) + "\n  + " + shown(a, actual) + "\n";
}

}  // namespace voidbroom::test
