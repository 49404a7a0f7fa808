#pragma once

#include <csignal>
#include <cstdio>

#include "cli/ScanOptions.h"

namespace voidbroom {

// The command-line face of the program:
//   voidbroom-scan [OPTION]... FOLDER...
// walks each FOLDER as if it were a drive's root and prints every result-list entry (see
// usageText() for the options). Returns the exit status: 0 when every walk was complete and
// every deletion succeeded; 1 when the output cannot be written or a deletion failed; 2 for
// a bad option or a FOLDER that cannot be opened, even when 1 applies too.
// `interrupted`, when given, is set by a signal handler: see ScanOptions.
int runScanCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err,
                   const volatile std::sig_atomic_t* interrupted = nullptr);

// Runs the command with options already read; same exit status.
int runScan(const ScanOptions& options, std::FILE* out, std::FILE* err);

}  // namespace voidbroom
