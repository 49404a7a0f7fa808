#pragma once

#include <cstdint>
#include <string>

namespace voidbroom {

// Why a file that may go only while it holds no data was not removed.
enum class EmptyFileVerdict {
    Removed,    // gone, or already gone
    HoldsData,  // a regular file with content now: it stays where it was
    InUse,      // another program has it open and could still write to it: it stays
    Recent,     // it was modified from the time given on: it stays
    Failed,     // a system call failed; `error` says why
};

struct EmptyFileOutcome {
    EmptyFileVerdict verdict = EmptyFileVerdict::Removed;
    int error = 0;
    std::string keptAs;  // set when the file could not be put back under its own name
};

// Removes the file `name` of the folder open at `folderFd` only as what was checked: it is
// renamed aside to `asideName` in the same folder (never over anything), checked through a
// descriptor (still a regular file of length 0, and, where the kernel grants the write lease
// that no other open allows, open in no other program; links, FIFOs, sockets and devices hold
// no data of their own), and only then unlinked. A file that fails the check is renamed back.
// The lease is held until the file is gone, so that nothing can open it in between.
// With `recentFrom` (nanoseconds since the epoch), one modified from then on stays too.
EmptyFileOutcome removeEmptyFile(int folderFd, const char* name, const std::string& asideName,
                                 std::int64_t recentFrom = INT64_MAX);

// The text that tells a user why a file stayed.
std::string describe(const EmptyFileOutcome& outcome);

}  // namespace voidbroom
