#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QThread>

#include "app/ClickableLabel.h"
#include "app/DriveListBox.h"
#include "app/Form1.h"
#include "results/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using Entries = std::vector<std::string>;

// A drive with a few folders in a known order of visits: the walk lists each one's
// empty subfolder as a plain entry.
std::vector<std::string> driveItems() {
    std::vector<std::string> items{"keep.txt:1"};
    for (int i = 0; i < 6; ++i) items.push_back("d" + std::to_string(i) + "/e/");
    return items;
}

struct ScanRunTest : ::testing::Test {
    void SetUp() override {
        std::cerr << (drive.real() ? "[ drive: a tmpfs mounted for the test ]\n"
                                   : "[ drive: a temporary folder listed through the test mount table ]\n");
        form = std::make_unique<Form1>(drive.fsoFactory());
        ASSERT_TRUE(form->loaded());
        form->show();
        ASSERT_TRUE(drive.choose(*form));
    }
    Entries entries() const {
        Entries out;
        for (std::size_t i = 0; i < form->List1->ListCount(); ++i) out.push_back(form->List1->List(i));
        return out;
    }
    // The control states: Scan, Stop, Select All, Delete, Select All Empty, Save Log, Exit,
    // then the mode box.
    std::string enabled() const {
        std::string out;
        for (const QWidget* w : {static_cast<QWidget*>(form->cmdScan), static_cast<QWidget*>(form->cmdStop),
                                 static_cast<QWidget*>(form->cmdSelAll), static_cast<QWidget*>(form->cmdDel),
                                 static_cast<QWidget*>(form->cmdSelEmpty), static_cast<QWidget*>(form->cmdSaveLog),
                                 static_cast<QWidget*>(form->cmdExit), static_cast<QWidget*>(form->Combo1)})
            out += w->isEnabled() ? '1' : '0';
        return out;
    }
    bool busy() const { return form->testAttribute(Qt::WA_SetCursor) && form->cursor().shape() == Qt::WaitCursor; }

    test::TestDrive drive{driveItems()};
    std::unique_ptr<Form1> form;
};

constexpr const char* kAfterRun = "10111111";
constexpr const char* kRunning = "01000000";

TEST_F(ScanRunTest, AnEmptyDriveListsItsRootAlone) {
    test::TestDrive empty;
    Form1 window(empty.fsoFactory());
    ASSERT_TRUE(empty.choose(window));
    for (int mode : {0, 1, 2}) {
        window.Combo1->setCurrentIndex(mode);
        window.cmdScan->click();
        ASSERT_EQ(window.List1->ListCount(), 1u) << "mode " << mode;
        EXPECT_EQ(window.List1->List(0), empty.rootPath());
    }
}

TEST_F(ScanRunTest, ACompleteRunFillsTheListAndLeavesTheAfterRunState) {
    form->cmdScan->click();
    Entries expected;
    for (int i = 0; i < 6; ++i) expected.push_back(drive.path("d" + std::to_string(i) + "/e"));
    Entries got = entries();
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(enabled(), kAfterRun);
    EXPECT_FALSE(busy());
    EXPECT_EQ(form->windowTitle(), Form1::kIdleCaption);
    EXPECT_EQ(form->Label1->text(), "List contain only empty folders (ie. folders without subfolders and files)");
}

TEST_F(ScanRunTest, EachModeDescribesItselfAndMode1MarksZeroSizeFolders) {
    form->Combo1->setCurrentIndex(1);
    form->cmdScan->click();
    EXPECT_EQ(form->Label1->text(),
              "Folders marked with (***) not empty, but contain only empty folders\r\n"
              "and/or 0-length files. Double click on a folder to receive its content.");
    EXPECT_EQ(form->List1->ListCount(), 6u);
    for (const auto& entry : entries()) EXPECT_TRUE(entry.starts_with("*** " + drive.path("d"))) << entry;
    form->Combo1->setCurrentIndex(2);
    form->cmdScan->click();
    EXPECT_EQ(form->Label1->text(), "Folders marked with (***) not empty, they contain subfolders\r\n"
                                    "but don't contain any files.");
}

TEST_F(ScanRunTest, WhileRunningOnlyStopActsAndTheCaptionNamesTheFolder) {
    int yields = 0;
    std::string state, title;
    bool wasBusy = false;
    form->scanYieldHook = [&] {
        ++yields;
        if (yields == 2) QThread::msleep(15);  // lets the next yield show the window's state
        if (yields == 3) {
            state = enabled();
            wasBusy = busy();
            title = form->windowTitle().toStdString();
        }
    };
    form->cmdScan->click();
    EXPECT_EQ(state, kRunning);
    EXPECT_TRUE(wasBusy);
    EXPECT_TRUE(title.starts_with("Scanning " + drive.mountPoint())) << title;
    EXPECT_TRUE(title.ends_with(" for empty folders...")) << title;
    EXPECT_EQ(enabled(), kAfterRun);
    EXPECT_FALSE(busy());
}

TEST_F(ScanRunTest, PanelsSwitchedDuringARunShowTheButtonsAsTheRunLeftThem) {
    std::string onSavePanel, backOnScanner;
    int yields = 0;
    form->scanYieldHook = [&] {
        if (++yields != 3) return;
        emit form->LblSE->clicked();
        onSavePanel = std::string() + (form->cmdSaveLog->isVisible() ? 'v' : 'h') +
                      (form->cmdSaveLog->isEnabled() ? 'e' : 'd') + (form->cmdExit->isVisible() ? 'v' : 'h') +
                      (form->cmdExit->isEnabled() ? 'e' : 'd');
        emit form->LblScanner->clicked();
        backOnScanner = enabled();
        emit form->LblSE->clicked();
    };
    form->cmdScan->click();
    EXPECT_EQ(onSavePanel, "vdvd");
    EXPECT_EQ(backOnScanner, kRunning);
    EXPECT_TRUE(form->cmdSaveLog->isVisible() && form->cmdSaveLog->isEnabled());
    EXPECT_TRUE(form->cmdExit->isVisible() && form->cmdExit->isEnabled());
}

TEST_F(ScanRunTest, StopKeepsWhatWasFoundAndTheNextScanStartsAfresh) {
    form->cmdScan->click();
    const std::size_t complete = form->List1->ListCount();
    ASSERT_EQ(complete, 6u);

    int yields = 0;
    form->scanYieldHook = [&] {
        if (++yields == 5) form->cmdStop->click();
    };
    form->cmdScan->click();
    const std::size_t stopped = form->List1->ListCount();
    EXPECT_LT(stopped, complete);
    EXPECT_GT(stopped, 0u);
    EXPECT_EQ(enabled(), kAfterRun);
    EXPECT_EQ(form->windowTitle(), Form1::kIdleCaption);
    EXPECT_TRUE(form->StopRequested) << "the flag stays set until the next scan";

    form->scanYieldHook = [&] { form->cmdStop->click(); };  // stopped at its very first yield
    form->cmdScan->click();
    EXPECT_EQ(form->List1->ListCount(), 0u) << "a new scan empties the list first";

    form->scanYieldHook = nullptr;
    form->cmdScan->click();
    EXPECT_EQ(form->List1->ListCount(), complete) << "a scan after a stopped one runs normally";
}

TEST_F(ScanRunTest, ClosingDuringARunEndsItWithoutTouchingTheWindow) {
    int yields = 0;
    std::size_t atClose = 0;
    form->scanYieldHook = [&] {
        if (++yields != 4) return;
        ASSERT_TRUE(form->close());
        atClose = form->List1->list().count();
    };
    form->cmdScan->click();
    EXPECT_TRUE(form->closed());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->List1->list().count(), atClose) << "no entry after the close";
    EXPECT_EQ(enabled(), kRunning) << "the after-run steps must be skipped";
    EXPECT_TRUE(busy());
    EXPECT_EQ(form->fso, nullptr);
}

TEST_F(ScanRunTest, ADriveThatIsGoneIsReportedAndLeavesTheAfterRunState) {
    if (drive.real()) {
        test::unmount(drive.mountPoint());  // an unmounted drive leaves a plain folder behind
    } else {
        ASSERT_EQ(std::system(("rm -rf '" + drive.mountPoint() + "'").c_str()), 0);
    }
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdScan->click();
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.contains(QString::fromStdString(drive.mountPoint()))) << answer.text.toStdString();
    EXPECT_EQ(form->List1->ListCount(), 0u);
    EXPECT_EQ(enabled(), kAfterRun);
    EXPECT_FALSE(busy());
    EXPECT_EQ(form->windowTitle(), Form1::kIdleCaption);
}

}  // namespace
}  // namespace voidbroom
