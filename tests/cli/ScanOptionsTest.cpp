#include "cli/ScanOptions.h"

#include <gtest/gtest.h>

namespace voidbroom {
namespace {

CommandLine parsed(std::vector<const char*> args) {
    args.insert(args.begin(), "voidbroom-scan");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

// Options may stand anywhere; FOLDERs keep their order; after "--" everything is a FOLDER;
// of --progress and --no-progress the last one counts.
TEST(ScanOptions, ReadsOptionsAnywhereAndKeepsTheFoldersInOrder) {
    const CommandLine line = parsed({"b", "--json", "--mode=2", "-", "--delete", "--threads", "8",
                                     "--progress", "a", "--", "-0", "--help"});
    ASSERT_EQ(line.request, CommandLine::Request::Run) << line.error;
    const ScanOptions& options = line.options;
    EXPECT_EQ(options.folders, (std::vector<std::string>{"b", "-", "a", "-0", "--help"}));
    EXPECT_EQ(options.format, OutputFormat::JsonLines);
    EXPECT_EQ(options.mode, 2);
    EXPECT_TRUE(options.deleteFolders);
    EXPECT_FALSE(options.stats);
    EXPECT_EQ(options.threads, 8);
    EXPECT_EQ(options.progress, ProgressChoice::Always);

    const CommandLine plain =
        parsed({"--progress", "--null", "--no-progress", "--threads=64", "x"});
    EXPECT_EQ(plain.options.format, OutputFormat::Null);
    EXPECT_EQ(plain.options.progress, ProgressChoice::Never);
    EXPECT_EQ(plain.options.threads, 64);
    const CommandLine defaults = parsed({"x"});
    EXPECT_EQ(defaults.options.format, OutputFormat::Lines);
    EXPECT_EQ(defaults.options.progress, ProgressChoice::WhenTerminal);
    EXPECT_EQ(defaults.options.threads, kDefaultThreads);
    EXPECT_EQ(parsed({"-0", "x"}).options.format, OutputFormat::Null);
    // --help and --version answer even beside an error.
    EXPECT_EQ(parsed({"--version", "--bogus"}).request, CommandLine::Request::Version);
    EXPECT_EQ(parsed({"--json", "-0", "--help"}).request, CommandLine::Request::Help);
}

}  // namespace
}  // namespace voidbroom
