#include "cli/ScanCommand.h"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>

#include "cli/CommandHost.h"
#include "cli/CommandOutput.h"
#include "cli/FolderRemoval.h"
#include "cli/ProgressLine.h"
#include "fs/FolderDeleter.h"
#include "fs/Paths.h"
#include "scan/FolderWalker.h"

namespace voidbroom {
namespace {

bool showsProgress(ProgressChoice choice, std::FILE* err) {
    switch (choice) {
        case ProgressChoice::Always:
            return true;
        case ProgressChoice::Never:
            return false;
        case ProgressChoice::WhenTerminal:
            break;
    }
    return isatty(fileno(err)) == 1;
}

void printStats(CommandOutput& output, const WalkCounters& counters) {
    const double perFolder = counters.foldersOpened
                                 ? double(counters.directoryReads) / double(counters.foldersOpened)
                                 : 0.0;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%zu folders visited, %zu directory reads (%.2f per folder), "
                  "%zu folders opened in all, %zu of them again for sizes, %zu by readers ahead",
                  counters.foldersOpened, counters.directoryReads, perFolder, counters.opens,
                  counters.probeOpens, counters.opensAhead);
    output.message(text);
}

// One run over all the FOLDERs, with what it found out so far.
class ScanRun {
public:
    ScanRun(const ScanOptions& options, std::FILE* out, std::FILE* err)
        : options_(options),
          progress_(progressFor(options, out, err)),
          output_(out, err, options.format, progress_ ? &*progress_ : nullptr),
          host_(output_, progress_ ? &*progress_ : nullptr, options.deleteFolders,
                options.interrupted),
          walker_(host_, static_cast<unsigned>(options.threads)) {
        rules_.names = options.rules;
        if (options.olderThan) {
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            rules_.recentFrom =
                std::chrono::duration_cast<std::chrono::nanoseconds>(now - *options.olderThan)
                    .count();
        }
        walker_.setRules(rules_.names, rules_.recentFrom);
        if (rules_.names && rules_.names->hasJunk()) output_.countJunk();
    }

    int run() {
        // Once the output is broken, nothing more is walked or deleted.
        for (const std::string& folder : options_.folders) {
            if (output_.failed() || host_.stopRequested()) break;
            scan(folder);
        }
        if (progress_) progress_->erase();
        if (options_.stats) printStats(output_, walker_.counters());
        if (!output_.flush()) incomplete_ = true;
        return folderMissing_ ? 2 : incomplete_ ? 1 : 0;
    }

private:
    static std::optional<ProgressLine> progressFor(const ScanOptions& options, std::FILE* out,
                                                   std::FILE* err) {
        if (!showsProgress(options.progress, err)) return std::nullopt;
        return ProgressLine(err, isatty(fileno(out)) == 1 ? out : nullptr);
    }

    // The FOLDER is opened once, as the shell would open it; the walk and every change
    // below it start from that one descriptor.
    void scan(const std::string& folder) {
        WalkRoot root;
        int error = 0;
        const OpenStatus opened = WalkRoot::open(folder, root, error);
        const WalkResult result = opened == OpenStatus::Opened
                                      ? walker_.ScanFolder(root, options_.mode)
                                      : WalkResult{WalkResult::Status::RootFailed,
                                                   describeOpenFailure(OpenOutcome{opened, error})};
        if (!result.done()) {
            output_.message("cannot open folder '" + folder + "': " + result.reason);
            folderMissing_ = true;
            return;
        }
        if (host_.stopRequested()) return;  // a walk cut short deletes nothing
        if (options_.afterWalk) options_.afterWalk(folder);
        if (options_.deleteFolders) treatListed(root);
    }

    // Treats the folders of the entries just found, the last first, and prints each as it
    // goes, so that what was printed is what was done however the run ends.
    void treatListed(const WalkRoot& root) {
        if (progress_) progress_->erase();
        FolderDeleter deleter;
        FolderTrasher trasher;
        const FolderTreatment treatment = options_.trashFolders
                                              ? trashingWith(trasher, root, rules_)
                                              : deletionWith(deleter, root, rules_);
        handleAllLastFirst(
            host_.takeEntries(), treatment.apply,
            [&](const ResultEntry& entry, const FolderFailure* failure) {
                if (entry.path == root.path)
                    output_.message("'" + entry.path + "' stays: a FOLDER given is never removed");
                else if (failure)
                    tellFailure(treatment.verb, *failure);
                else
                    output_.entry(entry);
                if (!output_.flush()) incomplete_ = true;
                return !output_.failed() && !host_.stopRequested();
            });
    }

    void tellFailure(const std::string& verb, const FolderFailure& failure) {
        output_.message("cannot " + verb + " '" + failure.path + "': " + failure.reason);
        incomplete_ = true;
    }

    const ScanOptions& options_;
    std::optional<ProgressLine> progress_;
    CommandOutput output_;
    CommandHost host_;
    FolderWalker walker_;
    DeleteCheck rules_;  // only its names and age: what the walk lists by
    bool folderMissing_ = false;
    bool incomplete_ = false;
};

}  // namespace

int runScan(const ScanOptions& options, std::FILE* out, std::FILE* err) {
    return ScanRun(options, out, err).run();
}

int runScanCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err,
                   const volatile std::sig_atomic_t* interrupted) {
    CommandLine line = parseCommandLine(argc, argv);
    line.options.interrupted = interrupted;
    switch (line.request) {
        case CommandLine::Request::Bad:
            std::fprintf(err, "voidbroom-scan: %s\n", line.error.c_str());
            return 2;
        case CommandLine::Request::Help:
            std::fputs(usageText().c_str(), out);
            return std::fflush(out) == 0 ? 0 : 1;
        case CommandLine::Request::Version:
            std::fputs("voidbroom-scan " VOIDBROOM_VERSION "\n", out);
            return std::fflush(out) == 0 ? 0 : 1;
        case CommandLine::Request::Run:
            break;
    }
    return runScan(line.options, out, err);
}

}  // namespace voidbroom
