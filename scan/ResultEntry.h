#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace voidbroom {

// A result-list entry is a folder path, or, for a folder listed only by one of the two wider
// modes, the marker followed by the path. Every reader tells them apart by the first three
// characters alone, so a path that itself begins with "***" still reads as marked.
inline constexpr std::string_view kEntryMarker = "*** ";

inline bool isMarkedEntry(std::string_view entry) { return entry.substr(0, 3) == "***"; }

// The folder path of an entry: a marked entry from its fifth character on, else all of it.
inline std::string_view folderPathOf(std::string_view entry) {
    return isMarkedEntry(entry) ? entry.substr(std::min<std::size_t>(4, entry.size())) : entry;
}

inline std::string markedEntry(std::string_view path) {
    std::string entry(kEntryMarker);
    entry += path;
    return entry;
}

}  // namespace voidbroom
