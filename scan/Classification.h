#pragma once

#include <cstddef>
#include <optional>

#include "fs/ZeroSizeProbe.h"

namespace voidbroom {

// What the walk read of one folder. A count that could not be read is nullopt.
struct FolderFacts {
    SizeAnswer size = SizeAnswer::Unreadable;
    std::optional<std::size_t> files;
    std::optional<std::size_t> subfolders;
};

enum class Listing { None, Plain, Marked };

// What becomes of a folder: the entry it gets, and whether its subfolders are visited.
struct Verdict {
    Listing listing = Listing::None;
    bool descend = false;
    bool operator==(const Verdict&) const = default;
};

// The listing rule for all three modes. A zero-size folder with no files and no subfolders
// is listed plain; mode 1 marks other zero-size folders and does not look inside them; mode 2
// marks folders that are not zero-size and have no files of their own. A value that could
// not be read fails every test that needs it.
Verdict classifyFolder(const FolderFacts& facts, int scanMode);

}  // namespace voidbroom
