// voidbroom-scan as scripts see it: the real program (VOIDBROOM_SCAN), its output, its
// messages and its exit status.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

extern char** environ;

namespace voidbroom {
namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string contentOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class ScanCommand : public testing::Test {
protected:
    void SetUp() override {
        const char* program = std::getenv("VOIDBROOM_SCAN");
        if (!program || !*program) GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
        program_ = program;
    }

    // Runs voidbroom-scan with `args`; its output goes to `outPath`, or is captured.
    Outcome run(const std::vector<std::string>& args, const std::string& outPath = {}) {
        const std::string out = outPath.empty() ? scratch_.path("out") : outPath;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, scratch_.path("err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv{program_.data()};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        Outcome outcome;
        if (posix_spawn(&pid, program_.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
                outcome.status = WEXITSTATUS(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        if (outPath.empty()) outcome.out = contentOf(out);
        outcome.err = contentOf(scratch_.path("err"));
        return outcome;
    }

    std::string program_;
    test::TempTree scratch_;
};

std::string lines(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) text += entry + "\n";
    return text;
}

// One line per entry, in walk order, byte for byte, marked entries with their marker.
TEST_F(ScanCommand, PrintsEveryEntryOnALineOfItsOwn) {
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
    test::TempTree small({"x:1", "A/B/"});
    EXPECT_EQ(run({"--mode", "1", small.root()}).out, "*** " + small.path("A") + "\n");
}

TEST_F(ScanCommand, RootPathEndsInExactlyOneSlash) {
    test::TempTree tree;
    for (const std::string& given : {tree.root(), tree.root() + "/", tree.root() + "///"})
        EXPECT_EQ(run({given}).out, tree.rootPath() + "\n") << given;
}

TEST_F(ScanCommand, VersionAndHelp) {
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "voidbroom-scan 1.3\n");
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: voidbroom-scan [--mode 0|1|2]", 0), 0u) << help.out;
}

// Status 2, nothing on the output, and one line on the error output that names the program.
TEST_F(ScanCommand, BadArgumentsAndFoldersEndWithOneLineAndStatusTwo) {
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

TEST_F(ScanCommand, OutputThatCannotBeWrittenEndsWithStatusOne) {
    test::TempTree tree({"A/"});
    const Outcome outcome = run({tree.root()}, "/dev/full");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err, "");
}

}  // namespace
}  // namespace voidbroom
