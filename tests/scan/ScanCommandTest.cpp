// voidbroom-scan as scripts see it: its output, its messages and its exit status. Most cases
// run the command in this process with temporary files for its streams; one runs the built
// program (VOIDBROOM_SCAN).
#include "scan/ScanCommand.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readAll(std::FILE* file) {
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// Runs the command with `args`; its output goes to `out` when given, else it is captured.
Outcome run(const std::vector<std::string>& args, std::FILE* out = nullptr) {
    std::vector<const char*> argv{"voidbroom-scan"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::FILE* captured = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome outcome;
    outcome.status =
        runScanCommand(static_cast<int>(argv.size()), argv.data(), out ? out : captured, err);
    for (auto [file, text] : {std::pair{captured, &outcome.out}, {err, &outcome.err}}) {
        std::rewind(file);
        *text = readAll(file);
        std::fclose(file);
    }
    return outcome;
}

// One line per entry, in walk order, byte for byte, marked entries with their marker; the
// root path ends in exactly one slash however it is given.
TEST(ScanCommand, PrintsEveryEntryOnALineOfItsOwn) {
    test::TempTree tree({"x:1", "A/B/f:1", "A/C/D/", "\xff\xfe/z:0", "new\nline/"});
    const std::vector<std::string> modeArgs[] = {{}, {"--mode", "1"}, {"--mode=2"}};
    for (int mode = 0; mode <= 2; ++mode) {
        std::vector<std::string> args = modeArgs[mode];
        args.push_back(tree.root() + "//");
        const Outcome outcome = run(args);
        std::string expected;
        for (const std::string& entry : test::walk(tree.rootPath(), mode).entries)
            expected += entry + "\n";
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, expected) << "mode " << mode;
    }
    test::TempTree empty;
    EXPECT_EQ(run({empty.root()}).out, empty.rootPath() + "\n");
    const Outcome version = run({"--version"}), help = run({"--help"});
    EXPECT_EQ(version.status + help.status, 0);
    EXPECT_EQ(version.out, "voidbroom-scan 1.3\n");
    EXPECT_TRUE(help.out.starts_with("Usage: voidbroom-scan [--mode 0|1|2]")) << help.out;
}

TEST(ScanCommand, TheBuiltProgramPrintsEntriesAndEndsWithStatusZero) {
    const char* program = std::getenv("VOIDBROOM_SCAN");
    if (!program || !*program) GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    test::TempTree tree({"x:1", "A/B/", "C/D/f:1"});
    std::FILE* pipe =
        popen((std::string(program) + " --mode 1 '" + tree.root() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    const std::string out = readAll(pipe);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(out, "*** " + tree.path("A") + "\n");
}

// Status 2, nothing on the output, and one line on the error output that names the program.
TEST(ScanCommand, BadArgumentsAndFoldersEndWithOneLineAndStatusTwo) {
    test::TempTree tree({"file:0"});
    const std::string r = tree.root();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus", r}, "unknown option '--bogus' (see --help)"},
        {{"-x"}, "unknown option '-x' (see --help)"},
        {{"--mode", "3", r}, "invalid mode '3': use 0, 1 or 2"},
        {{"--mode=", r}, "invalid mode '': use 0, 1 or 2"},
        {{r, "--mode"}, "option '--mode' needs a value: 0, 1 or 2"},
        {{}, "no FOLDER given (see --help)"},
        {{r, r}, "only one FOLDER can be scanned (see --help)"},
        {{tree.path("missing")}, "cannot open folder '" + tree.path("missing") + "': "},
        {{tree.path("file")}, "cannot open folder '" + tree.path("file") + "': "},
    };
    for (const auto& [args, message] : cases) {
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 2) << message;
        EXPECT_EQ(outcome.out, "") << message;
        EXPECT_TRUE(outcome.err.starts_with("voidbroom-scan: " + message)) << outcome.err;
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << outcome.err;
    }
}

TEST(ScanCommand, OutputThatCannotBeWrittenEndsWithStatusOne) {
    test::TempTree tree({"A/"});
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const Outcome outcome = run({tree.root()}, full);
    std::fclose(full);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.starts_with("voidbroom-scan: cannot write the output: "))
        << outcome.err;
}

}  // namespace
}  // namespace voidbroom
