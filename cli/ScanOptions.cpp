#include "cli/ScanOptions.h"

#include "cli/RuleOptions.h"

#include <optional>
#include <string_view>

namespace voidbroom {
namespace {

std::optional<int> parseMode(std::string_view text) {
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '2') return text[0] - '0';
    return std::nullopt;
}

std::optional<int> parseThreads(std::string_view text) {
    if (text.empty() || text.size() > 2) return std::nullopt;
    int count = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        count = count * 10 + (c - '0');
    }
    if (count < 1 || count > kMaxThreads) return std::nullopt;
    return count;
}

// Walks through the arguments; an option's value is the rest after "=" or the next argument.
class ArgumentReader {
public:
    ArgumentReader(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}
    bool more() const { return next_ < argc_; }
    std::string_view take() { return argv_[next_++]; }

    // Whether `arg` is the option `name`, alone or as "name=value"; its value goes to `value`,
    // or `missing` is set when none follows.
    bool withValue(std::string_view arg, std::string_view name, std::string_view& value,
                   bool& missing) {
        if (arg == name) {
            missing = !more();
            if (!missing) value = take();
            return true;
        }
        if (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            return true;
        }
        return false;
    }

private:
    int argc_;
    const char* const* argv_;
    int next_ = 1;
};

CommandLine bad(std::string error) {
    CommandLine line;
    line.request = CommandLine::Request::Bad;
    line.error = std::move(error);
    return line;
}

// Takes one option that needs no value; false when `arg` is none of them.
bool takeFlag(std::string_view arg, ScanOptions& options, bool& nulls, bool& json, bool& deletes,
              bool& trashes) {
    if (arg == "-0" || arg == "--null") {
        nulls = true;
    } else if (arg == "--json") {
        json = true;
    } else if (arg == "--delete") {
        deletes = true;
    } else if (arg == "--trash") {
        trashes = true;
    } else if (arg == "--stats") {
        options.stats = true;
    } else if (arg == "--progress") {
        options.progress = ProgressChoice::Always;
    } else if (arg == "--no-progress") {
        options.progress = ProgressChoice::Never;
    } else {
        return false;
    }
    return true;
}

// Which option of the rules with a value `arg` is, with its value read; nullopt for none.
std::optional<std::string_view> ruleOptionOf(ArgumentReader& args, std::string_view arg,
                                             std::string_view& value, bool& missing) {
    for (const std::string_view option : RuleOptions::kWithValue)
        if (args.withValue(arg, option, value, missing)) return option;
    return std::nullopt;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    ScanOptions& options = line.options;
    ArgumentReader args(argc, argv);
    bool operandsOnly = false, nulls = false, json = false, deletes = false, trashes = false;
    RuleOptions rules;
    while (args.more()) {
        const std::string_view arg = args.take();
        if (operandsOnly || arg.size() < 2 || arg[0] != '-') {
            options.folders.emplace_back(arg);
            continue;
        }
        std::string_view value;
        bool missing = false;
        if (arg == "--") {
            operandsOnly = true;
        } else if (arg == "--help" || arg == "--version") {
            line.request =
                arg == "--help" ? CommandLine::Request::Help : CommandLine::Request::Version;
            return line;
        } else if (takeFlag(arg, options, nulls, json, deletes, trashes)) {
        } else if (arg == "--junk-common") {
            rules.takeCommonJunk();
        } else if (const auto option = ruleOptionOf(args, arg, value, missing)) {
            if (missing)
                return bad("option '" + std::string(*option) +
                           "' needs a value: " + std::string(RuleOptions::valueOf(*option)));
            if (const std::string error = rules.take(*option, value); !error.empty())
                return bad(error);
        } else if (args.withValue(arg, "--mode", value, missing)) {
            if (missing) return bad("option '--mode' needs a value: 0, 1 or 2");
            const auto mode = parseMode(value);
            if (!mode) return bad("invalid mode '" + std::string(value) + "': use 0, 1 or 2");
            options.mode = *mode;
        } else if (args.withValue(arg, "--threads", value, missing)) {
            if (missing) return bad("option '--threads' needs a value: 1 to 64");
            const auto threads = parseThreads(value);
            if (!threads)
                return bad("invalid thread count '" + std::string(value) + "': use 1 to 64");
            options.threads = *threads;
        } else {
            return bad("unknown option '" + std::string(arg) + "' (see --help)");
        }
    }
    if (nulls && json) return bad("options '--json' and '-0' cannot be used together");
    if (deletes && trashes)
        return bad("options '--delete' and '--trash' cannot be used together: choose one");
    options.deleteFolders = deletes || trashes;
    options.trashFolders = trashes;
    if (options.folders.empty()) return bad("no FOLDER given (see --help)");
    options.rules = rules.names();
    options.olderThan = rules.olderThan();
    if (json) options.format = OutputFormat::JsonLines;
    if (nulls) options.format = OutputFormat::Null;
    return line;
}

std::string usageText() {
    return "Usage: voidbroom-scan [OPTION]... FOLDER...\n"
           "Walks each FOLDER in turn, with everything below it on its own file system, and\n"
           "prints the folders that Voidbroom would list, one a line, in walk order.\n"
           "Links are followed only on the way to a FOLDER, never below it.\n"
           "\n"
           "  --mode 0         only empty folders (the default)\n"
           "  --mode 1         also folders of total size 0, marked \"*** \"\n"
           "  --mode 2         also folders that hold no files of their own, marked \"*** \"\n"
           "  -0, --null       end each entry with a NUL byte instead of a newline\n"
           "  --json           one JSON object a line: {\"kind\":\"empty\",\"path\":\"/a/b\"},\n"
           "                   kind \"empty\", \"zero-size\" or \"no-files\"; a path that is\n"
           "                   not UTF-8 also comes byte-exact in \"path_base64\"; with\n"
           "                   junk rules, \"junk_files\" counts the folder's junk files\n"
           "  --delete         delete the listed folders, last listed first, and print each\n"
           "                   as it goes; a folder changed since the walk stays and is\n"
           "                   reported (in mode 2 a folder goes with all it holds); the\n"
           "                   FOLDER itself is never removed\n"
           "  --trash          move the listed folders to the trash instead, with the same\n"
           "                   checks; a folder that cannot go there stays\n"
           "  --threads N      threads that may read folders ahead of the walk when each\n"
           "                   read is slow, 1 to 64; 1 reads them one by one (default:\n"
           "                   " +
           std::to_string(kDefaultThreads) +
           "; 64 reads faster behind round trips of a\n"
           "                   millisecond or more)\n"
           "  --progress       draw the progress line on standard error even when it is\n"
           "                   not a terminal (on a terminal it is drawn unless\n"
           "                   --no-progress is given)\n"
           "  --stats          print how many folders were opened and read, all FOLDERs\n"
           "                   together, to standard error\n"
           "  --help           show this help\n"
           "  --version        show the version\n"
           "\n"
           "Cleanup rules (PATTERN is a glob on a name, as fnmatch reads it: a leading dot is\n"
           "an ordinary character; each may be given many times; a rule that matches nothing\n"
           "is no error):\n"
           "  --junk PATTERN   files of that name count as absent: a folder that holds only\n"
           "                   such files is empty, and they go with it\n"
           "  --junk-common    the same for Thumbs.db, ehthumbs.db, desktop.ini, .DS_Store,\n"
           "                   ._* and .directory\n"
           "  --keep PATTERN   files and folders of that name stay: the folders that hold\n"
           "                   them are never listed, entered or removed (wins over junk)\n"
           "  --exclude PATTERN  folders and files of that name, or at that path from the\n"
           "                   FOLDER when PATTERN holds a \"/\", are not entered and count as\n"
           "                   content of their folder\n"
           "  --older-than AGE  list a folder only when nothing in it or below it was\n"
           "                   modified within AGE: 30d, 12h, 90m or 45s\n"
           "\n"
           "Exit status: 0 when every walk was complete and every deletion succeeded;\n"
           "1 when the output could not be written or a deletion failed; 2 for a bad\n"
           "option or a FOLDER that could not be opened (2 wins when both apply).\n";
}

}  // namespace voidbroom
