#pragma once

#include <cstdio>

namespace voidbroom {

// The command-line face of the walk:
//   voidbroom-scan [--mode 0|1|2] [--stats] FOLDER
// walks FOLDER as if it were a drive's root and prints every result-list entry, one per
// line. Returns the exit status: 0 after a complete walk, 1 when the output cannot be
// written, 2 for a bad option or a FOLDER that cannot be opened.
int runScanCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

}  // namespace voidbroom
