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

std::string contentOf(std::FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

// Runs the command with `args`; its output goes to `out` when given, else it is captured.
Outcome run(std::vector<std::string> args, std::FILE* out = nullptr) {
    args.insert(args.begin(), "voidbroom-scan");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::FILE* captured = out ? nullptr : std::tmpfile();
    std::FILE* err = std::tmpfile();
    Outcome outcome;
    outcome.status =
        runScanCommand(static_cast<int>(argv.size()), argv.data(), out ? out : captured, err);
    if (captured) outcome.out = contentOf(captured);
    outcome.err = contentOf(err);
    return outcome;
}

std::string lines(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) text += entry + "\n";
    return text;
}

// One line per entry, in walk order, byte for byte, marked entries with their marker.
TEST(ScanCommand, PrintsEveryEntryOnALineOfItsOwn) {
    test::TempTree tree({"x:1", "A/B/f:1", "A/C/D/", "\xff\xfe/z:0", "new\nline/"});
    const std::vector<std::string> modeArgs[] = {{}, {"--mode", "1"}, {"--mode=2"}};
    for (int mode = 0; mode <= 2; ++mode) {
        std::vector<std::string> args = modeArgs[mode];
        args.push_back(tree.root());
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.out, lines(test::scanEntries(tree.rootPath(), mode))) << "mode " << mode;
    }
}

TEST(ScanCommand, TheBuiltProgramPrintsEntriesAndEndsWithStatusZero) {
    const char* program = std::getenv("VOIDBROOM_SCAN");
    if (!program || !*program) GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    test::TempTree tree({"x:1", "A/B/", "C/D/f:1"});
    std::FILE* pipe =
        popen((std::string(program) + " --mode 1 '" + tree.root() + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(out, "*** " + tree.path("A") + "\n");
}

TEST(ScanCommand, RootPathEndsInExactlyOneSlash) {
    test::TempTree tree;
    for (const std::string& given : {tree.root(), tree.root() + "/", tree.root() + "///"})
        EXPECT_EQ(run({given}).out, tree.rootPath() + "\n") << given;
}

TEST(ScanCommand, VersionAndHelp) {
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "voidbroom-scan 1.3\n");
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: voidbroom-scan [--mode 0|1|2]", 0), 0u) << help.out;
}

// Status 2, nothing on the output, and one line on the error output that names the program.
TEST(ScanCommand, BadArgumentsAndFoldersEndWithOneLineAndStatusTwo) {
    test::TempTree tree({"file:0"});
    const std::vector<std::vector<std::string>> cases = {{"--bogus", tree.root()},
                                                         {"--mode", "3", tree.root()},
                                                         {"--mode=", tree.root()},
                                                         {tree.root(), "--mode"},
                                                         {},
                                                         {tree.root(), tree.root()},
                                                         {tree.path("missing")},
                                                         {tree.path("file")},
                                                         {"-x"}};
    for (const auto& args : cases) {
        std::string shown;
        for (const std::string& arg : args) shown += " '" + arg + "'";
        const Outcome outcome = run(args);
        EXPECT_EQ(outcome.status, 2) << shown;
        EXPECT_EQ(outcome.out, "") << shown;
        EXPECT_EQ(outcome.err.rfind("voidbroom-scan: ", 0), 0u) << shown << ": " << outcome.err;
        EXPECT_TRUE(outcome.err.ends_with("\n") && outcome.err.find('\n') == outcome.err.size() - 1)
            << shown << ": " << outcome.err;
    }
}

TEST(ScanCommand, OutputThatCannotBeWrittenEndsWithStatusOne) {
    test::TempTree tree({"A/"});
    std::FILE* full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    const Outcome outcome = run({tree.root()}, full);
    std::fclose(full);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err, "");
}

}  // namespace
}  // namespace voidbroom
