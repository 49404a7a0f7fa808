// The program's quick end after its event loop: the exit code, nothing left unwritten, and
// the slow way while the program holds the clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>

#include "app/ProgramEnd.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

TEST(ProgramEndTest, EndsWithTheLoopsCodeAndWritesWhatWasStillBuffered) {
    // The child is forked from here (it only writes a file and ends), so it has the same path.
    test::TempTree tree;
    const std::string out = tree.path("out.txt");
    EXPECT_EXIT(
        {
            std::FILE* file = std::fopen(out.c_str(), "w");
            if (file == nullptr) std::_Exit(100);
            std::fputs("buffered, never flushed by hand", file);
            endAtOnce(3);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_EQ(test::contentOf(out), "buffered, never flushed by hand");
}

// Offscreen no one holds a clipboard; the test ProgramEndOnX11 runs this case on Xvfb.
TEST(ProgramEndTest, WhileTheProgramHoldsTheClipboardItReturnsSoThatQtCanHandItOver) {
    if (QGuiApplication::platformName() == "offscreen")
        GTEST_SKIP() << "offscreen no program holds the clipboard (ProgramEndOnX11 runs this)";
    QGuiApplication::clipboard()->setText("copied from the content window");
    ASSERT_TRUE(QGuiApplication::clipboard()->ownsClipboard());
    endAtOnce(4);  // would end this test run, with 4, instead of returning
}

}  // namespace
}  // namespace voidbroom
