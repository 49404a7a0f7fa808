#pragma once

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace voidbroom {

// What the progress line reports.
struct ProgressCounts {
    std::size_t folders = 0;  // folders visited
    std::size_t entries = 0;  // entries found
    double foldersPerSecond = 0;
};

// The end of `path` that fits in `columns` terminal columns, with "..." in front when the
// path was shortened. UTF-8 sequences stay whole; invalid bytes and control characters
// show as "?", and East Asian wide characters count as two columns.
std::string shownTail(std::string_view path, std::size_t columns);

// The progress line for a terminal `columns` wide: the counts and the tail of `path`, kept
// one column short of the width so that the terminal never wraps it.
std::string progressText(const ProgressCounts& counts, std::string_view path, std::size_t columns);

// The terminal's width on `stream`, 80 when it cannot be told.
std::size_t terminalColumns(std::FILE* stream);

// The line on standard error that tells how far the walk is: drawn at the first folder,
// redrawn in place at most ten times a second, and erased before anything else is written
// to the terminal and at the end.
class ProgressLine {
public:
    // `sharedOut`, when not null, is the entries' output going to the same terminal: it is
    // flushed before each draw, and the line is erased before each entry (see beforeOutput),
    // so that entries and the line never mix.
    ProgressLine(std::FILE* err, std::FILE* sharedOut);

    // A folder visit; `path` need only be valid during the call.
    void folderVisited(std::string_view path);
    void entryFound() { ++counts_.entries; }
    // Erases the line, if it is drawn.
    void erase();
    // Call before an entry is written to the output.
    void beforeOutput() {
        if (sharedOut_ && drawn_) erase();
    }

private:
    using Clock = std::chrono::steady_clock;
    // Reading the clock at every folder would cost more than a visit: only every so many.
    static constexpr std::size_t kFoldersPerClockCheck = 64;
    static constexpr Clock::duration kRedrawInterval = std::chrono::milliseconds(100);

    void draw(std::string_view path, Clock::time_point now);

    std::FILE* err_;
    std::FILE* sharedOut_;
    ProgressCounts counts_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastDraw_{};
    std::size_t sinceCheck_ = 0;
    bool drawn_ = false;  // the line is on the terminal now
    bool everDrawn_ = false;
    std::string line_;
};

}  // namespace voidbroom
