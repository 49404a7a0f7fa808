#include "scan/ScanCommand.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fs/Paths.h"
#include "scan/FolderWalker.h"

namespace voidbroom {
namespace {

constexpr const char* kUsage =
    "Usage: voidbroom-scan [--mode 0|1|2] [--stats] FOLDER\n"
    "Walks FOLDER and everything below it on its own file system, and prints the\n"
    "folders that Voidbroom would list, one per line, in walk order.\n"
    "\n"
    "  --mode 0   only empty folders (the default)\n"
    "  --mode 1   also folders of total size 0, marked \"*** \"\n"
    "  --mode 2   also folders that hold no files of their own, marked \"*** \"\n"
    "  --stats    print how many folders were opened and read to standard error\n"
    "  --help     show this help\n"
    "  --version  show the version\n"
    "\n"
    "Exit status: 0 after a complete walk, 1 when the output cannot be written,\n"
    "2 for a bad option or a FOLDER that cannot be opened.\n";

struct Options {
    int mode = 0;
    bool stats = false;
    const char* folder = nullptr;
};

// Writes every entry to the output as it comes; the walk never stops early.
class PrintingHost : public ScanHost {
public:
    explicit PrintingHost(std::FILE* out) : out_(out) {}
    void yield() override {}
    bool stopRequested() override { return false; }
    void showFolder(const std::string&) override {}
    void addEntry(const ResultEntry& entry) override {
        const std::string text = entryText(entry);
        std::fwrite(text.data(), 1, text.size(), out_);
        std::fputc('\n', out_);
    }

private:
    std::FILE* out_;
};

std::optional<int> parseMode(std::string_view text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '2') return text[0] - '0';
    return std::nullopt;
}

// Fills `options`; returns an error message, or an empty string when the arguments are good.
std::string parse(int argc, const char* const* argv, Options& options, bool& helpOrVersion,
                  std::FILE* out) {
    bool operandsOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (!operandsOnly && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                operandsOnly = true;
            } else if (arg == "--help") {
                std::fputs(kUsage, out);
                helpOrVersion = true;
                return {};
            } else if (arg == "--version") {
                std::fputs("voidbroom-scan " VOIDBROOM_VERSION "\n", out);
                helpOrVersion = true;
                return {};
            } else if (arg == "--stats") {
                options.stats = true;
            } else if (arg == "--mode" || arg.starts_with("--mode=")) {
                std::string_view value;
                if (arg == "--mode") {
                    if (++i == argc) return "option '--mode' needs a value: 0, 1 or 2";
                    value = argv[i];
                } else {
                    value = arg.substr(7);
                }
                const auto mode = parseMode(value);
                if (!mode) return "invalid mode '" + std::string(value) + "': use 0, 1 or 2";
                options.mode = *mode;
            } else {
                return "unknown option '" + std::string(arg) + "' (see --help)";
            }
            continue;
        }
        if (options.folder) return "only one FOLDER can be scanned (see --help)";
        options.folder = argv[i];
    }
    if (!options.folder) return "no FOLDER given (see --help)";
    return {};
}

void printStats(std::FILE* err, const WalkCounters& counters) {
    const double perFolder = counters.foldersOpened
                                 ? double(counters.directoryReads) / double(counters.foldersOpened)
                                 : 0.0;
    std::fprintf(err,
                 "voidbroom-scan: %zu folders visited, %zu directory reads (%.2f per folder), "
                 "%zu folders opened again for sizes\n",
                 counters.foldersOpened, counters.directoryReads, perFolder, counters.probeOpens);
}

}  // namespace

int runScanCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    Options options;
    bool helpOrVersion = false;
    const std::string error = parse(argc, argv, options, helpOrVersion, out);
    if (!error.empty()) {
        std::fprintf(err, "voidbroom-scan: %s\n", error.c_str());
        return 2;
    }
    if (helpOrVersion) return std::fflush(out) == 0 ? 0 : 1;

    PrintingHost host(out);
    FolderWalker walker(host);
    const WalkResult result = walker.ScanFolder(rootPathOf(options.folder), options.mode);
    if (!result.done()) {
        std::fprintf(err, "voidbroom-scan: cannot open folder '%s': %s\n", options.folder,
                     result.reason.c_str());
        return 2;
    }
    if (options.stats) printStats(err, walker.counters());
    if (std::fflush(out) != 0 || std::ferror(out)) {
        std::fprintf(err, "voidbroom-scan: cannot write the output: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

}  // namespace voidbroom
