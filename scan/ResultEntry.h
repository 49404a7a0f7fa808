#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "fs/FolderIdentity.h"

namespace voidbroom {

// Why a folder was listed.
enum class EntryKind {
    Empty,     // strictly empty: no files, no subfolders
    ZeroSize,  // marked: total size 0, with zero-length files or empty folders inside
    NoFiles,   // marked: not zero-size, but no files of its own
};

// One result of a scan: why its folder was listed, the folder's path as bytes, and the
// folder's identity as the scan saw it (what a deletion checks it against).
struct ResultEntry {
    EntryKind kind = EntryKind::Empty;
    std::string path;
    FolderIdentity folder;
    std::size_t junkFiles = 0;  // files in the folder that count as absent (NameRules)

    bool marked() const { return kind != EntryKind::Empty; }
    bool operator==(const ResultEntry&) const = default;
};

// The marker in front of a marked entry's path, wherever an entry is shown as text.
inline constexpr std::string_view kEntryMarker = "*** ";

// An entry as the result list shows it: the path, with the marker in front when marked.
inline std::string entryText(const ResultEntry& entry) {
    if (!entry.marked()) return entry.path;
    std::string text(kEntryMarker);
    text += entry.path;
    return text;
}

}  // namespace voidbroom
