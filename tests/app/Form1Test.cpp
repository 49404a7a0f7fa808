#include <gtest/gtest.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/ClickableLabel.h"
#include "app/DriveListBox.h"
#include "app/Form1.h"
#include "log/LogPath.h"
#include "results/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

struct Form1Test : ::testing::Test {
    void SetUp() override {
        form = std::make_unique<Form1>(drive.fsoFactory());
        ASSERT_TRUE(form->loaded());
        form->show();
    }
    test::TestDrive drive;
    std::unique_ptr<Form1> form;
};

// Which of the seven command buttons are visible, as a string of 0 and 1 in the order
// Scan, Stop, Select All, Delete, Select All Empty, Save Log, Exit.
std::string visibleButtons(const Form1& f) {
    std::string out;
    for (const QPushButton* b : {f.cmdScan, f.cmdStop, f.cmdSelAll, f.cmdDel, f.cmdSelEmpty, f.cmdSaveLog, f.cmdExit})
        out += b->isVisible() ? '1' : '0';
    return out;
}
std::string enabledButtons(const Form1& f) {
    std::string out;
    for (const QPushButton* b : {f.cmdScan, f.cmdStop, f.cmdSelAll, f.cmdDel, f.cmdSelEmpty, f.cmdSaveLog, f.cmdExit})
        out += b->isEnabled() ? '1' : '0';
    return out;
}
std::string visiblePanels(const Form1& f) {
    return std::string() + (f.frameScanner->isVisible() ? 'S' : '-') + (f.frameSE->isVisible() ? 'E' : '-') +
           (f.frameAbout->isVisible() ? 'A' : '-');
}

TEST_F(Form1Test, FirstDisplayShowsTheScannerPanelWithOnlyScanEnabled) {
    EXPECT_EQ(form->windowTitle(), "Select drive and press [Scan] to scan for empty folders");
    EXPECT_EQ(visiblePanels(*form), "S--");
    ASSERT_EQ(form->Combo1->count(), 3);
    EXPECT_EQ(form->Combo1->itemText(0), "List only empty folders");
    EXPECT_EQ(form->Combo1->itemText(1), "List also non-empty zero-length folders");
    EXPECT_EQ(form->Combo1->itemText(2), "List also folders without files");
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->List1->ListCount(), 0u);
    EXPECT_TRUE(form->Label1->text().isEmpty());
    EXPECT_EQ(form->Text1->text().toStdString(), defaultLogPath());
    //                          Scan Stop SelAll Del SelEmpty SaveLog Exit
    EXPECT_EQ(visibleButtons(*form), "1111100");
    EXPECT_EQ(enabledButtons(*form), "1000001");
    EXPECT_FALSE(form->testAttribute(Qt::WA_SetCursor));
    EXPECT_GT(form->Drive1->count(), 0);
    EXPECT_FALSE(form->StopRequested);
    EXPECT_FALSE(form->SavingLog);
    EXPECT_EQ(form->Label2->text(), "Voidbroom  1.3");
    EXPECT_EQ(form->size(), QSize(441, 471));
}

TEST_F(Form1Test, LogPathDefaultsToTheHomeFolder) {
    const char* home = std::getenv("HOME");
    if (home && *home) {
        std::string expected = home;
        if (expected.back() != '/') expected += '/';
        EXPECT_EQ(defaultLogPath(), expected + "voidbroom-log.txt");
    }
    EXPECT_TRUE(defaultLogPath().ends_with("/voidbroom-log.txt") || defaultLogPath() == "voidbroom-log.txt");
}

TEST_F(Form1Test, EachPanelShowsItsOwnButtonsWhetherPictureOrLabelIsClicked) {
    struct Case {
        ClickableLabel* picture;
        ClickableLabel* label;
        const char* panels;
        const char* buttons;
    };
    const Case cases[] = {
        {form->ImgSE, form->LblSE, "-E-", "0000011"},
        {form->ImgAbout, form->LblAbout, "--A", "0000000"},
        {form->ImgScanner, form->LblScanner, "S--", "1111100"},
    };
    for (const Case& c : cases) {
        emit c.picture->clicked();
        EXPECT_EQ(visiblePanels(*form), c.panels);
        EXPECT_EQ(visibleButtons(*form), c.buttons);
        emit c.label->clicked();
        emit c.label->clicked();  // choosing the panel shown changes nothing
        EXPECT_EQ(visiblePanels(*form), c.panels);
        EXPECT_EQ(visibleButtons(*form), c.buttons);
    }
    EXPECT_EQ(enabledButtons(*form), "1000001") << "panels change visibility only";
}

TEST_F(Form1Test, TheResultListKeepsEntriesAndSelectionOnOtherPanels) {
    form->List1->AddItem("/a");
    form->List1->AddItem("*** /b");
    form->List1->setSelected(1, true);
    emit form->LblAbout->clicked();
    emit form->LblSE->clicked();
    emit form->LblScanner->clicked();
    ASSERT_EQ(form->List1->ListCount(), 2u);
    EXPECT_FALSE(form->List1->Selected(0));
    EXPECT_TRUE(form->List1->Selected(1));
}

// The controls that Tab reaches from the mode box, in order, as far as the first repeat.
std::vector<QWidget*> tabStops(Form1& f) {
    std::vector<QWidget*> stops{f.Combo1};
    for (QWidget* w = f.Combo1->nextInFocusChain(); w != f.Combo1; w = w->nextInFocusChain()) {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && w->window() == &f &&
            !w->focusProxy())
            stops.push_back(w);
    }
    return stops;
}

TEST_F(Form1Test, TabMovesFromModeBoxToDrivesToListToEnabledButtons) {
    EXPECT_EQ(tabStops(*form), (std::vector<QWidget*>{form->Combo1, form->Drive1, form->List1, form->cmdScan}));
    for (QPushButton* b : {form->cmdSelAll, form->cmdSelEmpty, form->cmdDel, form->cmdStop}) b->setEnabled(true);
    EXPECT_EQ(tabStops(*form), (std::vector<QWidget*>{form->Combo1, form->Drive1, form->List1, form->cmdSelEmpty,
                                                      form->cmdSelAll, form->cmdStop, form->cmdDel, form->cmdScan}));
    emit form->LblSE->clicked();
    form->cmdSaveLog->setEnabled(true);
    const auto stops = tabStops(*form);
    EXPECT_EQ(stops, (std::vector<QWidget*>{form->Combo1, form->Text1, form->cmdExit, form->cmdSaveLog}))
        << "the mode box is hidden with its panel, so Tab starts from the first visible stop";
}

TEST_F(Form1Test, ExitAnsweredNoChangesNothing) {
    form->List1->AddItem("/kept");
    form->List1->setSelected(0, true);
    emit form->LblSE->clicked();
    const QString caption = form->windowTitle();
    test::BoxAnswerer answer(QMessageBox::No);
    form->cmdExit->click();
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.title, "Exit Application");
    EXPECT_EQ(answer.text, "Are you sure you want to exit?");
    EXPECT_EQ(answer.icon, QMessageBox::Question);
    EXPECT_EQ(answer.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(answer.defaultButton, QMessageBox::Yes);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->windowTitle(), caption);
    ASSERT_EQ(form->List1->ListCount(), 1u);
    EXPECT_TRUE(form->List1->Selected(0));
    EXPECT_FALSE(form->closed());
}

TEST_F(Form1Test, ExitAnsweredYesEndsTheProgramWithoutTheCloseHandler) {
    emit form->LblSE->clicked();
    test::BoxAnswerer answer(QMessageBox::Yes);
    QTimer::singleShot(0, form->cmdExit, [this] { form->cmdExit->click(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &guard, [] { QCoreApplication::exit(42); });
    guard.start(10000);
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program's event loop did not end";
    EXPECT_TRUE(answer.answered());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->closed()) << "the close handler must not run on this path";
    EXPECT_FALSE(form->StopRequested);
}

TEST_F(Form1Test, ClosingIsRefusedWhileALogIsSavedAndAllowedAfterwards) {
    form->SavingLog = true;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->StopRequested);
    EXPECT_NE(form->fso, nullptr);
    form->SavingLog = false;
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(form->closed());
    EXPECT_TRUE(form->StopRequested);
    EXPECT_EQ(form->fso, nullptr);
}

TEST(Form1Start, AFileSystemServiceThatCannotBeCreatedIsReportedAndTheWindowNotLoaded) {
    test::BoxAnswerer answer(QMessageBox::Ok);
    Form1 form([]() -> std::unique_ptr<FileSystemObject> {
        return std::make_unique<FileSystemObject>(FileSystemOptions{"/nonexistent/mountinfo", true});
    });
    EXPECT_FALSE(form.loaded());
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.icon, QMessageBox::Critical);
    EXPECT_TRUE(answer.text.contains("/nonexistent/mountinfo")) << answer.text.toStdString();
}

}  // namespace
}  // namespace voidbroom
