#pragma once

#include <cstdio>
#include <string>

#include "cli/EntryOutput.h"
#include "cli/ProgressLine.h"
#include "scan/ResultEntry.h"

namespace voidbroom {

// Where voidbroom-scan writes: entries to the output in the chosen format, messages to the
// error output with the program's name in front. Both erase the progress line first where
// it would mix with them. Messages are always terminal-safe (terminalSafe), and so are
// entries written as lines to a terminal; anything else is written byte for byte.
class CommandOutput {
public:
    // `progress` may be null (no progress line); it must outlive this object.
    CommandOutput(std::FILE* out, std::FILE* err, OutputFormat format, ProgressLine* progress);

    void entry(const ResultEntry& entry);
    void message(const std::string& text);
    // Whether writing the output has failed (it stays failed).
    bool failed() const { return std::ferror(out_) != 0; }
    // Writes out what is buffered; false, with a message, when the output cannot be written.
    bool flush();
    // Whether entries say how many junk files they hold (in JSON), as when junk rules are given.
    void countJunk() { junkCounted_ = true; }

private:
    std::FILE* out_;
    std::FILE* err_;
    OutputFormat format_;
    ProgressLine* progress_;
    std::string text_;  // reused for every entry
    bool failureTold_ = false;
    bool escaped_;  // entries go to a terminal as lines
    bool junkCounted_ = false;
};

}  // namespace voidbroom
