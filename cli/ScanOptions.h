#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/EntryOutput.h"
#include "fs/NameRules.h"
#include "fs/ReadAhead.h"

namespace voidbroom {

// How many threads the walk may read folders with when --threads is not given.
inline constexpr int kDefaultThreads = static_cast<int>(kDefaultReadAheadThreads);
inline constexpr int kMaxThreads = 64;

// When voidbroom-scan draws its progress line on standard error.
enum class ProgressChoice { WhenTerminal, Always, Never };

// What one run of voidbroom-scan is asked to do.
struct ScanOptions {
    int mode = 0;
    OutputFormat format = OutputFormat::Lines;
    bool deleteFolders = false;  // delete, or with trashFolders move to the trash
    bool trashFolders = false;
    bool stats = false;
    ProgressChoice progress = ProgressChoice::WhenTerminal;
    // How many threads may read folders ahead of the walk; 1 walks serially.
    int threads = kDefaultThreads;
    std::vector<std::string> folders;  // in the order given
    // The cleanup rules: names that are junk, to keep or excluded (null: none), and the age
    // below which nothing in a folder may have been modified for it to be listed.
    std::shared_ptr<const NameRules> rules;
    std::optional<std::chrono::seconds> olderThan;
    // Called after the walk of each FOLDER and before its folders are deleted: a seam for
    // tests that change the tree in between.
    std::function<void(const std::string& folder)> afterWalk;
    // Set (by a signal handler) when the run is to end: the walk stops at its next folder and
    // the deletion after the folder it is at.
    const volatile std::sig_atomic_t* interrupted = nullptr;
};

// A command line as read: options to run with, a request for the help or the version, or
// an error in plain words.
struct CommandLine {
    enum class Request { Run, Help, Version, Bad };
    Request request = Request::Run;
    ScanOptions options;
    std::string error;
};

// Reads argv[1..argc): options anywhere, "--" ends them; --help and --version answer at once.
CommandLine parseCommandLine(int argc, const char* const* argv);

// The text of --help.
std::string usageText();

}  // namespace voidbroom
