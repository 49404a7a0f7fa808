// What a user is told: on a terminal, names cannot drive the terminal; through a pipe the
// listing is byte-exact; a deletion stopped by a signal has printed exactly what it did.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

#include "cli/TerminalText.h"
#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Outcome;
using test::Stream;

TEST(TerminalText, ControlCharactersAndStrayBytesAreEscapedAsLsDoes) {
    EXPECT_EQ(terminalSafe("plain/päth 字"), "plain/päth 字");
    EXPECT_EQ(terminalSafe("a\nb\tc\rd\a\b\f\v"), "a\\nb\\tc\\rd\\a\\b\\f\\v");
    EXPECT_EQ(terminalSafe("\033]0;title\a"), "\\033]0;title\\a");
    EXPECT_EQ(terminalSafe(std::string("nul\0x", 5)), "nul\\000x");
    EXPECT_EQ(terminalSafe("\x7f \xc2\x9b \xff\xfe"), "\\177 \\302\\233 \\377\\376");
    EXPECT_EQ(terminalSafe("back\\slash"), "back\\\\slash") << "an escape cannot be faked";
}

// A folder name that would retitle the terminal, and one whose carriage return would hide
// its start: escaped on a terminal, byte-exact through a pipe; a message names them escaped
// wherever it goes.
TEST(TerminalText, NamesReachATerminalEscapedAndAPipeByteExact) {
    if (test::builtProgram().empty())
        GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    const std::string retitle = "\033]0;pwned\a", hidden = "evil\rgood";
    test::TempTree tree({retitle + "/", hidden + "/"});
    const Outcome piped = test::runBuilt({tree.root()}, Stream::Pipe, Stream::Pipe);
    const std::set<std::string> raw = {tree.path(retitle), tree.path(hidden)};
    std::set<std::string> seen;
    for (std::size_t start = 0, end; start < piped.out.size(); start = end + 1) {
        end = piped.out.find('\n', start);
        seen.insert(piped.out.substr(start, end - start));
    }
    EXPECT_EQ(seen, raw);

    const Outcome shown =
        test::runBuilt({"--no-progress", tree.root()}, Stream::Terminal, Stream::Pipe);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out.find('\033'), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(tree.path("\\033]0;pwned\\a") + "\r\n"), std::string::npos);
    EXPECT_NE(shown.out.find(tree.path("evil\\rgood") + "\r\n"), std::string::npos);

    const Outcome told = test::runBuilt({tree.path("\033[2Jgone")}, Stream::Pipe, Stream::Pipe);
    EXPECT_EQ(told.status, 2);
    EXPECT_EQ(told.err, "voidbroom-scan: cannot open folder '" + tree.path("\\033[2Jgone") +
                            "': it does not exist\n");
}

// Starts the built program on `args` with its output on a pipe that the caller reads.
pid_t startBuilt(const std::vector<std::string>& args, int& out) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const std::string program = test::builtProgram();
    std::vector<const char*> argv{program.c_str()};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        alarm(60);
        execv(argv[0], const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    close(pipeFds[1]);
    out = pipeFds[0];
    return pid;
}

// Ctrl-C in the middle of --delete: the run ends between two folders, by the signal, and
// every folder it printed is gone while every one it did not print is still there.
TEST(Interrupt, ADeletionStoppedByASignalPrintedExactlyWhatItDeleted) {
    if (test::builtProgram().empty())
        GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    test::TempTree tree;
    constexpr int kFolders = 20000;
    for (int i = 0; i < kFolders; ++i) tree.add("d" + std::to_string(i) + "/");
    int out = -1;
    const pid_t pid = startBuilt({"--delete", "--threads", "1", tree.root()}, out);
    ASSERT_GT(pid, 0);
    std::string printed;
    char buffer[4096];
    bool signalled = false;
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;) {
        printed.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && std::count(printed.begin(), printed.end(), '\n') >= 100) {
            kill(pid, SIGINT);
            signalled = true;
        }
    }
    close(out);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(signalled);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    std::set<std::string> gone;
    for (std::size_t start = 0, end; start < printed.size(); start = end + 1) {
        end = printed.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "a line cut short";
        gone.insert(printed.substr(start, end - start));
    }
    EXPECT_LT(gone.size(), static_cast<std::size_t>(kFolders)) << "the signal came too late";
    for (int i = 0; i < kFolders; ++i) {
        const std::string path = tree.path("d" + std::to_string(i));
        ASSERT_EQ(test::exists(path), gone.count(path) == 0) << path;
    }
}

}  // namespace
}  // namespace voidbroom
