#include "scan/ScanCommand.h"

#include <unistd.h>

#include <optional>
#include <string>

#include "fs/FolderDeleter.h"
#include "fs/Paths.h"
#include "scan/CommandHost.h"
#include "scan/CommandOutput.h"
#include "scan/FolderRemoval.h"
#include "scan/FolderWalker.h"
#include "scan/ProgressLine.h"

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
          host_(output_, progress_ ? &*progress_ : nullptr, options.deleteFolders),
          walker_(host_, static_cast<unsigned>(options.threads)),
          treatment_(options.trashFolders ? trashingWith(trasher_) : deletionWith(deleter_)) {}

    int run() {
        // Once the output is broken, nothing more is walked or deleted.
        for (const std::string& folder : options_.folders) {
            if (output_.failed()) break;
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

    void scan(const std::string& folder) {
        const WalkResult result = walker_.ScanFolder(rootPathOf(folder), options_.mode);
        if (!result.done()) {
            output_.message("cannot open folder '" + folder + "': " + result.reason);
            folderMissing_ = true;
            return;
        }
        if (options_.afterWalk) options_.afterWalk(folder);
        if (options_.deleteFolders) treatListed();
    }

    // Treats the folders of the entries just found, then prints those that were handled.
    void treatListed() {
        if (progress_) progress_->erase();
        const TreatmentOutcome outcome = treatAll(host_.takeEntries(), treatment_);
        for (const FolderFailure& failure : outcome.failures)
            output_.message("cannot " + treatment_.verb + " '" + failure.path +
                            "': " + failure.reason);
        for (const ResultEntry& entry : outcome.handled) output_.entry(entry);
        if (!outcome.failures.empty()) incomplete_ = true;
        // What was deleted must be told before the next FOLDER's folders are.
        if (!output_.flush()) incomplete_ = true;
    }

    const ScanOptions& options_;
    std::optional<ProgressLine> progress_;
    CommandOutput output_;
    CommandHost host_;
    FolderWalker walker_;
    FolderDeleter deleter_;
    FolderTrasher trasher_;
    FolderTreatment treatment_;
    bool folderMissing_ = false;
    bool incomplete_ = false;
};

}  // namespace

int runScan(const ScanOptions& options, std::FILE* out, std::FILE* err) {
    return ScanRun(options, out, err).run();
}

int runScanCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    const CommandLine line = parseCommandLine(argc, argv);
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
