// The Scan and Stop commands of the main window, driven offscreen on a test drive.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <algorithm>

#include "app/widgets/ClickableLabel.h"
#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

// Six folders, each listed by its empty subfolder "e" as a plain entry.
struct ScanRunTest : test::WindowTest {
    ScanRunTest()
        : WindowTest({"keep.txt:1", "d0/e/", "d1/e/", "d2/e/", "d3/e/", "d4/e/", "d5/e/"}) {}
    // The command buttons, then the mode box.
    std::string enabled() const {
        return buttons(&QWidget::isEnabled) + (form->Combo1->isEnabled() ? "1" : "0");
    }
    bool busy() const {
        return form->testAttribute(Qt::WA_SetCursor) && form->cursor().shape() == Qt::WaitCursor;
    }
    bool afterRun() const {
        return enabled() == "10111111" && !busy() && form->windowTitle() == Form1::kIdleCaption;
    }
};

constexpr const char* kRunning = "01000000";

TEST_F(ScanRunTest, ACompleteRunInEachModeFillsTheListDescribesTheModeAndLeavesTheAfterRunState) {
    const char* descriptions[] = {
        "List contain only empty folders (ie. folders without subfolders and files)",
        "Folders marked with (***) not empty, but contain only empty folders\r\n"
        "and/or 0-length files. Double click on a folder to receive its content.",
        "Folders marked with (***) not empty, they contain subfolders\r\nbut don't contain any "
        "files."};
    for (int mode = 0; mode <= 2; ++mode) {
        scan(mode);
        EXPECT_EQ(form->Label1->text(), descriptions[mode]);
        EXPECT_TRUE(afterRun()) << enabled();
        std::vector<std::string> expected;
        for (const char* d : {"d0", "d1", "d2", "d3", "d4", "d5"})
            expected.push_back(mode == 1 ? "*** " + drive.path(d) : drive.path(d) + "/e");
        auto got = entries();
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, expected);
    }
}

// Seen from the third yield, on either panel: only Stop acts, the cursor is busy, and the
// caption names the folder; switching panels shows the buttons as the run left them.
TEST_F(ScanRunTest, WhileRunningOnlyStopActsWhateverThePanelAndTheCaptionNamesTheFolder) {
    int yields = 0;
    std::string state, onSavePanel, backOnScanner;
    form->scanYieldHook = [&] {
        if (++yields == 2) QThread::msleep(15);  // lets the next yield show the window's state
        if (yields != 3) return;
        state = enabled() + (busy() ? " busy " : " idle ") + form->windowTitle().toStdString();
        emit form->LblSE->clicked();
        onSavePanel = test::states({form->cmdSaveLog, form->cmdExit}, &QWidget::isVisible) +
                      test::states({form->cmdSaveLog, form->cmdExit}, &QWidget::isEnabled);
        emit form->LblScanner->clicked();
        backOnScanner = enabled();
        emit form->LblSE->clicked();
    };
    form->cmdScan->click();
    EXPECT_TRUE(state.starts_with(std::string(kRunning) + " busy Scanning " + drive.mountPoint()))
        << state;
    EXPECT_TRUE(state.ends_with(" for empty folders...")) << state;
    EXPECT_EQ(onSavePanel, "1100");
    EXPECT_EQ(backOnScanner, kRunning);
    EXPECT_TRUE(afterRun()) << enabled();
    EXPECT_EQ(test::states({form->cmdSaveLog, form->cmdExit}, &QWidget::isVisible), "11");
}

TEST_F(ScanRunTest, StopKeepsWhatWasFoundAndTheNextScanStartsAfresh) {
    int yields = 0;
    form->scanYieldHook = [&] {
        if (++yields == 5) form->cmdStop->click();
    };
    scan(0);
    EXPECT_GT(form->List1->ListCount(), 0u);
    EXPECT_LT(form->List1->ListCount(), 6u);
    EXPECT_TRUE(afterRun()) << enabled();
    EXPECT_TRUE(form->StopRequested) << "the flag stays set until the next scan";

    form->scanYieldHook = [&] { form->cmdStop->click(); };  // stopped at its very first yield
    scan(0);
    EXPECT_EQ(form->List1->ListCount(), 0u) << "a new scan empties the list first";

    form->scanYieldHook = nullptr;
    scan(0);
    EXPECT_EQ(form->List1->ListCount(), 6u) << "a scan after a stopped one runs normally";
}

TEST_F(ScanRunTest, ClosingDuringARunEndsItWithoutTouchingTheWindow) {
    int yields = 0;
    std::size_t atClose = 0;
    form->scanYieldHook = [&] {
        if (++yields != 4) return;
        ASSERT_TRUE(form->close());
        atClose = form->List1->ListCount();
    };
    scan(0);
    EXPECT_TRUE(form->closed());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->List1->ListCount(), atClose) << "no entry after the close";
    EXPECT_EQ(enabled(), kRunning) << "the after-run steps must be skipped";
    EXPECT_TRUE(busy());
    EXPECT_EQ(form->fso, nullptr);
}

TEST_F(ScanRunTest, ADriveThatIsGoneIsReportedAndLeavesTheAfterRunState) {
    if (drive.real())
        test::unmount(drive.mountPoint());  // an unmounted drive leaves a plain folder behind
    else
        ASSERT_EQ(std::system(("rm -rf '" + drive.mountPoint() + "'").c_str()), 0);
    test::BoxAnswerer answer(QMessageBox::Ok);
    scan(0);
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.startsWith(
        QString::fromStdString("The drive " + drive.mountPoint() + " cannot be scanned:\n")))
        << answer.text.toStdString();
    EXPECT_EQ(form->List1->ListCount(), 0u);
    EXPECT_TRUE(afterRun()) << enabled();
}

// More empty folders than the list has lines.
std::vector<std::string> emptyFolders(int count) {
    std::vector<std::string> items;
    for (int i = 0; i < count; ++i) items.push_back("f" + std::to_string(100 + i) + "/");
    return items;
}

struct LongScanTest : test::WindowTest {
    LongScanTest() : WindowTest(emptyFolders(80)) {}
    // How many entries the list's scroll range covers.
    std::size_t inScrollRange() const {
        const QScrollBar* bar = form->List1->verticalScrollBar();
        return static_cast<std::size_t>(bar->maximum() + bar->pageStep());
    }
};

// The list is brought up to date a few times a second while a run goes on, and at its end.
TEST_F(LongScanTest, TheListCanBeScrolledToEveryEntryFoundWhileItRunsAndAtTheEnd) {
    int yields = 0;
    std::size_t found = 0, covered = 0;
    form->scanYieldHook = [&] {
        if (++yields == 50) {
            found = form->List1->ListCount();
            QThread::msleep(120);  // the list is due when this yield handles events
        }
        if (yields == 51) covered = inScrollRange();
    };
    scan(0);
    EXPECT_GT(found, static_cast<std::size_t>(form->List1->verticalScrollBar()->pageStep()));
    EXPECT_EQ(covered, found);
    EXPECT_EQ(form->List1->ListCount(), 80u);
    EXPECT_EQ(inScrollRange(), 80u);
}

}  // namespace
}  // namespace voidbroom
