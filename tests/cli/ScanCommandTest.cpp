// voidbroom-scan as scripts see it: its output, its messages and its exit status. Most cases
// run the command in this process with temporary files for its streams; some run the built
// program (VOIDBROOM_SCAN).
#include "cli/ScanCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Outcome;
using test::runCommand;

std::string linesOf(const std::string& rootPath, int mode) {
    std::string lines;
    for (const std::string& entry : test::walk(rootPath, mode).entries) lines += entry + "\n";
    return lines;
}

// One line per entry, in walk order, byte for byte, marked entries with their marker; the
// root path ends in exactly one slash however it is given.
TEST(ScanCommand, PrintsEveryEntryOnALineOfItsOwn) {
    test::TempTree tree({"x:1", "A/B/f:1", "A/C/D/", "\xff\xfe/z:0", "new\nline/"});
    const std::vector<std::string> modeArgs[] = {{}, {"--mode", "1"}, {"--mode=2"}};
    for (int mode = 0; mode <= 2; ++mode) {
        std::vector<std::string> args = modeArgs[mode];
        args.push_back(tree.root() + "//");
        const Outcome outcome = runCommand(args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, linesOf(tree.rootPath(), mode)) << "mode " << mode;
    }
    test::TempTree empty;
    EXPECT_EQ(runCommand({empty.root()}).out, empty.rootPath() + "\n");
    const Outcome version = runCommand({"--version"}), help = runCommand({"--help"});
    EXPECT_EQ(version.status + help.status, 0);
    EXPECT_EQ(version.out, "voidbroom-scan 1.3\n");
    EXPECT_TRUE(help.out.starts_with("Usage: voidbroom-scan [OPTION]... FOLDER...\n")) << help.out;
}

TEST(ScanCommand, TheBuiltProgramPrintsEntriesAndEndsWithStatusZero) {
    if (test::builtProgram().empty())
        GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    test::TempTree tree({"x:1", "A/B/", "C/D/f:1"});
    const Outcome outcome =
        test::runBuilt({"--mode", "1", tree.root()}, test::Stream::Pipe, test::Stream::Pipe);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.out, "*** " + tree.path("A") + "\n");
    EXPECT_EQ(outcome.err, "");
}

// Each FOLDER is its own root, walked in the order given; one that cannot be opened is told
// on a line of its own and the others are still walked. Status 2 wins over 1.
TEST(ScanCommand, WalksEveryFolderInTurnAndGoesOnPastOneThatCannotBeOpened) {
    test::TempTree first({"b/", "a/x:1", "a/c/"}), second({"z/y/", "file:0"});
    const std::string missing = first.path("missing");
    const Outcome outcome =
        runCommand({second.root(), missing, second.path("file"), "--", first.root()});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, linesOf(second.rootPath(), 0) + linesOf(first.rootPath(), 0));
    const std::string fileFolder = second.path("file");
    EXPECT_TRUE(outcome.err.starts_with("voidbroom-scan: cannot open folder '" + missing + "': "))
        << outcome.err;
    EXPECT_NE(outcome.err.find("\nvoidbroom-scan: cannot open folder '" + fileFolder + "': "),
              std::string::npos)
        << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 2) << outcome.err;

    // With --delete: the folders that can be deleted go; one that cannot makes it 1, and a
    // FOLDER that cannot be opened makes it 2 all the same.
    const Outcome deleting = runCommand({"--delete", first.root(), missing}, nullptr,
                                        [&](const std::string&) { first.add("b/new:1"); });
    EXPECT_EQ(deleting.status, 2);
    EXPECT_EQ(deleting.out, first.path("a/c") + "\n");
    EXPECT_FALSE(test::exists(first.path("a/c")));
    EXPECT_TRUE(test::exists(first.path("b/new")));
    EXPECT_EQ(std::count(deleting.err.begin(), deleting.err.end(), '\n'), 2) << deleting.err;
}

// Status 2, nothing on the output, and one line on the error output that names the program.
TEST(ScanCommand, BadArgumentsEndWithOneLineAndStatusTwo) {
    test::TempTree tree;
    const std::string r = tree.root();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus", r}, "unknown option '--bogus' (see --help)"},
        {{"-x"}, "unknown option '-x' (see --help)"},
        {{"--mode", "3", r}, "invalid mode '3': use 0, 1 or 2"},
        {{"--mode=", r}, "invalid mode '': use 0, 1 or 2"},
        {{r, "--mode"}, "option '--mode' needs a value: 0, 1 or 2"},
        {{"--threads", "0", r}, "invalid thread count '0': use 1 to 64"},
        {{"--threads=65", r}, "invalid thread count '65': use 1 to 64"},
        {{"--threads", "-1", r}, "invalid thread count '-1': use 1 to 64"},
        {{r, "--threads"}, "option '--threads' needs a value: 1 to 64"},
        {{"--json", "-0", r}, "options '--json' and '-0' cannot be used together"},
        {{"--null", r, "--json"}, "options '--json' and '-0' cannot be used together"},
        {{"--json"}, "no FOLDER given (see --help)"},
        {{"--older-than", "5x", r},
         "invalid age '5x': use a number and d, h, m or s (30d, 12h, 90m, 45s)"},
        {{"--older-than=99999999999d", r},
         "invalid age '99999999999d': use a number and d, h, m or s (30d, 12h, 90m, 45s)"},
        {{r, "--junk"}, "option '--junk' needs a value: a pattern"},
        {{"--exclude=", r}, "option '--exclude' needs a pattern, not ''"},
        {{"--delete", "--trash", r},
         "options '--delete' and '--trash' cannot be used together: choose one"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome outcome = runCommand(args);
        EXPECT_EQ(outcome.status, 2) << message;
        EXPECT_EQ(outcome.out, "") << message;
        EXPECT_EQ(outcome.err, "voidbroom-scan: " + message + "\n");
    }
}

TEST(ScanCommand, OutputThatCannotBeWrittenEndsWithStatusOne) {
    test::TempTree tree({"A/"});
    for (const std::string format : {"--json", "-0", "--delete"}) {
        std::FILE* full = std::fopen("/dev/full", "w");
        ASSERT_NE(full, nullptr);
        const Outcome outcome = runCommand({format, tree.root()}, full);
        std::fclose(full);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_TRUE(outcome.err.starts_with("voidbroom-scan: cannot write the output: "))
            << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    }
}

}  // namespace
}  // namespace voidbroom
