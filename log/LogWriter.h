#pragma once

#include <string>
#include <string_view>

#include "fs/ReadAhead.h"
#include "results/ResultList.h"

namespace voidbroom {

// The suffix of a marked entry's line in the log, chosen from the description of the last
// scan's mode: only the zero-length mode's description ends in "t.".
std::string_view markedSuffixFor(std::string_view description);

// What a log save needs from whoever runs it: the window, the tests, the benchmark.
class LogHost {
public:
    virtual ~LogHost() = default;
    // Called once before each entry is written (the window adds a dot to its caption).
    virtual void entryStarted() = 0;
    // Called once before each subfolder of a marked folder's content is listed: a chance to
    // handle pending events.
    virtual void yield() = 0;
};

// Writes the log of `list` to the file at `path`: the header line, then one group per entry
// in list order, selected or not. A plain entry is its line with " - [Empty]"; a marked one
// is its folder's path with `markedSuffix`, then the folder's content block as it is now,
// then one empty line. Lines end in CR LF; paths and names are written as their bytes.
// `contentText` is the buffer for each content block (it is left holding the last one).
// The file replaces what was at `path` only once it is complete. Throws FsError naming
// `path` and the reason when the file cannot be written or a marked folder cannot be listed;
// an earlier file at `path` is then left as it was.
// Content blocks are listed with `threads` reader threads.
void writeLog(const std::string& path, const ResultList& list, std::string_view markedSuffix,
              std::string& contentText, LogHost& host, unsigned threads = kDefaultReadAheadThreads);

}  // namespace voidbroom
