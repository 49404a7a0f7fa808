// The progress line: what it shows in a given width, how often it is drawn, and that only a
// terminal sees it unless it is asked for.
#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "cli/Utf8.h"
#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// The columns a shown text takes, counting the wide characters used below as two.
std::size_t columnsIn(std::string_view text) {
    std::size_t columns = 0;
    char32_t c = 0;
    for (std::size_t n; (n = utf8SequenceAt(text, c)) > 0; text.remove_prefix(n))
        columns += c >= 0x3000 && c <= 0x9FFF ? 2 : 1;
    return columns;
}

TEST(ProgressLine, ShowsTheEndOfAPathThatFitsWithoutSplittingACharacter) {
    EXPECT_EQ(shownTail("/home/me/Photos", 20), "/home/me/Photos");
    EXPECT_EQ(shownTail("/home/me/Photos", 15), "/home/me/Photos");
    EXPECT_EQ(shownTail("/home/me/Photos", 14), "...e/me/Photos");
    EXPECT_EQ(shownTail("/home/me/Photos", 3), "...");
    EXPECT_EQ(shownTail("/home/me/Photos", 2), "");
    // Invalid bytes and control characters (a newline, an escape, a C1 control) are shown
    // as "?": the terminal never gets a byte that moves its cursor or starts a sequence.
    EXPECT_EQ(shownTail("/a\nb\x1b[2J\xC2\x9B\xff\x7f", 40), "/a?b?[2J???");
    const std::string path = "/caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC/x\xE2\x82/end";
    const std::string whole = shownTail(path, 100);
    EXPECT_EQ(whole, "/caf\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC/x?\?/end");
    for (std::size_t columns = 0; columns < columnsIn(whole); ++columns) {
        const std::string shown = shownTail(path, columns);
        EXPECT_TRUE(isValidUtf8(shown)) << columns << ": " << shown;
        EXPECT_LE(columnsIn(shown), columns) << shown;
        // What is kept is the very end of the whole path as shown.
        EXPECT_TRUE(whole.ends_with(std::string_view(shown).substr(shown.empty() ? 0 : 3)))
            << shown;
    }
    EXPECT_EQ(shownTail(path, 9), "...?\?/end");
    EXPECT_EQ(shownTail(path, 12), ".../x?\?/end");  // the wide character needs two
    EXPECT_EQ(shownTail(path, 13), "...\xE6\x9C\xAC/x?\?/end");
}

TEST(ProgressLine, TheLineNeverFillsTheTerminalsLastColumn) {
    const ProgressCounts counts{123456, 789, 4321.9};
    const std::string deep = "/" + std::string(300, 'd') + "/leaf";
    EXPECT_EQ(progressText(counts, "/a", 80), "123456 folders, 789 entries, 4321 folders/s  /a");
    for (std::size_t columns = 0; columns <= 120; ++columns) {
        const std::string text = progressText(counts, deep, columns);
        EXPECT_LE(text.size(), columns > 0 ? columns - 1 : 0) << columns;
        if (columns > 60) {
            EXPECT_TRUE(text.ends_with("/leaf")) << text;
        }
    }
}

// Drawn at once, then only when a redraw is due, whatever the number of folders; erased with
// "\r" and an erase to the end of the line. An entry for the same terminal erases it first.
TEST(ProgressLine, RedrawsAtMostTenTimesASecondAndErasesItself) {
    std::FILE* err = std::tmpfile();
    std::FILE* out = std::tmpfile();
    {
        ProgressLine line(err, out);
        for (int i = 0; i < 1000; ++i) line.folderVisited("/a");
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        line.entryFound();
        for (int i = 0; i < 64; ++i) line.folderVisited("/b");
        line.beforeOutput();
        line.beforeOutput();  // already erased: nothing more
        line.erase();
    }
    std::rewind(err);
    const std::string shown = test::readAll(err);
    std::fclose(err);
    std::fclose(out);
    // The second draw comes at the first clock check after the pause: within 64 folders.
    EXPECT_TRUE(std::regex_match(shown, std::regex("\r1 folders, 0 entries, 0 folders/s  /a\033\\[K"
                                                   "\r10[0-6][0-9] folders, 1 entries, [0-9]+ "
                                                   "folders/s  /b\033\\[K\r\033\\[K")))
        << shown;
}

class BuiltProgram : public testing::Test {
protected:
    void SetUp() override {
        if (test::builtProgram().empty())
            GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
        tree.addChain("", 40, "a-long-folder-name");
    }
    test::TempTree tree{{"x:1", "B/", "C/D/"}};
};

// On a terminal the line is drawn with "\r", fits the terminal's width, and ends erased; the
// output in a pipe is untouched by it.
TEST_F(BuiltProgram, ShowsTheProgressLineOnlyOnATerminal) {
    using test::Stream;
    const test::Outcome pipe = test::runBuilt({tree.root()}, Stream::Pipe, Stream::Pipe);
    EXPECT_EQ(pipe.err, "");
    const test::Outcome shown = test::runBuilt({tree.root()}, Stream::Pipe, Stream::Terminal, 50);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, pipe.out);
    EXPECT_TRUE(shown.err.starts_with("\r1 folders, 0 entries, ")) << shown.err;
    EXPECT_TRUE(shown.err.ends_with("\r\033[K")) << shown.err;
    for (std::size_t at = 0; (at = shown.err.find('\r', at)) != std::string::npos; ++at) {
        const std::size_t end = shown.err.find("\033[K", at);
        EXPECT_LE(end - at - 1, 49u) << shown.err.substr(at, end - at);
    }
    const test::Outcome off =
        test::runBuilt({"--no-progress", tree.root()}, Stream::Pipe, Stream::Terminal);
    EXPECT_EQ(off.err, "");
    const test::Outcome forced =
        test::runBuilt({"--progress", tree.root()}, Stream::Pipe, Stream::Pipe);
    EXPECT_TRUE(forced.err.starts_with("\r1 folders, 0 entries, ")) << forced.err;
    EXPECT_TRUE(forced.err.ends_with("\r\033[K")) << forced.err;
    EXPECT_EQ(forced.out, pipe.out);
}

// With the entries on the same terminal, no entry is written after the progress text on its
// line: before each one, the line is erased (or was never drawn again since).
TEST_F(BuiltProgram, EntriesOnTheSameTerminalNeverFollowTheProgressText) {
    using test::Stream;
    const test::Outcome both = test::runBuilt({tree.root()}, Stream::Terminal, Stream::Terminal);
    EXPECT_EQ(both.status, 0);
    for (const std::string& entry : {tree.path("B"), tree.path("C/D")}) {
        const std::size_t at = both.err.find(entry + "\r\n");
        ASSERT_NE(at, std::string::npos) << both.err;
        const std::string before = both.err.substr(0, at);
        EXPECT_TRUE(before.empty() || before.ends_with("\n") || before.ends_with("\r\033[K"))
            << both.err;
    }
}

}  // namespace
}  // namespace voidbroom
