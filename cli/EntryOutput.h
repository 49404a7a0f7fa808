#pragma once

#include <string>
#include <string_view>

#include "scan/ResultEntry.h"

namespace voidbroom {

// How voidbroom-scan writes its entries.
enum class OutputFormat {
    Lines,      // the entry as the result list shows it, then a newline
    Null,       // the same, then a NUL byte (-0): safe for any name
    JsonLines,  // one JSON object a line: {"kind":"empty","path":"/a/b"}
};

// What the JSON output calls an entry's kind: "empty", "zero-size" or "no-files".
std::string_view kindName(EntryKind kind);

// Appends `text` as a JSON string, quotes included. Bytes that are not UTF-8 become U+FFFD,
// one for each byte; newlines, quotes, backslashes and control characters are escaped.
void appendJsonString(std::string& out, std::string_view text);

// Appends `entry` in `format`, with its terminator. In JSON, a path that is not valid UTF-8
// also carries its exact bytes in base64 as "path_base64".
// With `junkCounted` (junk rules are given), JSON also says how many junk files the folder
// holds, as "junk_files".
void appendEntry(std::string& out, const ResultEntry& entry, OutputFormat format,
                 bool junkCounted = false);

}  // namespace voidbroom
