// The main window's own behaviour: its first state, panels, Tab order, Exit and start-up.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/widgets/ClickableLabel.h"
#include "app/widgets/DriveListBox.h"
#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using Form1Test = test::WindowTest;

// The three panels: scanner, save and exit, about.
std::string panels(const Form1& f) {
    return test::states({f.frameScanner, f.frameSE, f.frameAbout}, &QWidget::isVisible);
}

TEST_F(Form1Test, FirstDisplayShowsTheScannerPanelWithOnlyScanAndExitEnabled) {
    EXPECT_EQ(form->windowTitle(), "Select drive and press [Scan] to scan for empty folders");
    EXPECT_EQ(panels(*form), "100");
    ASSERT_EQ(form->Combo1->count(), 3);
    EXPECT_EQ(form->Combo1->itemText(0), "List only empty folders");
    EXPECT_EQ(form->Combo1->itemText(1), "List also non-empty zero-length folders");
    EXPECT_EQ(form->Combo1->itemText(2), "List also folders without files");
    EXPECT_EQ(form->Combo1->currentIndex(), 0);
    EXPECT_EQ(form->List1->ListCount(), 0u);
    EXPECT_TRUE(form->Label1->text().isEmpty());
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    EXPECT_EQ(form->Text1->text().toStdString(),
              home.empty() ? "voidbroom-log.txt"
                           : home + (home.ends_with("/") ? "" : "/") + "voidbroom-log.txt");
    EXPECT_EQ(buttons(&QWidget::isVisible), "1111100");
    EXPECT_EQ(buttons(&QWidget::isEnabled), "1000001");
    EXPECT_FALSE(form->testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(form->StopRequested || form->SavingLog);
}

// Picture or label: the same panel and buttons; choosing the panel shown changes nothing, and
// panels change visibility only.
TEST_F(Form1Test, EachPanelShowsItsOwnButtonsWhetherPictureOrLabelIsClicked) {
    const std::tuple<ClickableLabel*, ClickableLabel*, const char*, const char*> cases[] = {
        {form->ImgSE, form->LblSE, "010", "0000011"},
        {form->ImgAbout, form->LblAbout, "001", "0000000"},
        {form->ImgScanner, form->LblScanner, "100", "1111100"},
    };
    for (const auto& [picture, label, panelsShown, buttonsShown] : cases) {
        for (ClickableLabel* clicked : {picture, label, label}) {
            emit clicked->clicked();
            EXPECT_EQ(panels(*form), panelsShown);
            EXPECT_EQ(buttons(&QWidget::isVisible), buttonsShown);
        }
    }
    EXPECT_EQ(buttons(&QWidget::isEnabled), "1000001");
}

// The controls that Tab reaches from the first visible one, in order, as far as the first repeat.
std::vector<QWidget*> tabStops(Form1& f) {
    QWidget* first = f.Combo1->isVisible() ? static_cast<QWidget*>(f.Combo1) : f.Text1;
    std::vector<QWidget*> stops{first};
    for (QWidget* w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain())
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->window() == &f && !w->focusProxy())
            stops.push_back(w);
    return stops;
}

TEST_F(Form1Test, TabMovesFromModeBoxToDrivesToListToEnabledButtons) {
    EXPECT_EQ(tabStops(*form),
              (std::vector<QWidget*>{form->Combo1, form->Drive1, form->List1, form->cmdScan}));
    for (QPushButton* b : {form->cmdSelAll, form->cmdSelEmpty, form->cmdDel, form->cmdStop})
        b->setEnabled(true);
    EXPECT_EQ(tabStops(*form),
              (std::vector<QWidget*>{form->Combo1, form->Drive1, form->List1, form->cmdSelEmpty,
                                     form->cmdSelAll, form->cmdStop, form->cmdDel, form->cmdScan}));
    emit form->LblSE->clicked();
    form->cmdSaveLog->setEnabled(true);
    EXPECT_EQ(tabStops(*form),
              (std::vector<QWidget*>{form->Text1, form->cmdExit, form->cmdSaveLog}));
}

// No changes nothing; Yes ends the program at once, without the close handler.
TEST_F(Form1Test, ExitAsksAndEndsTheProgramOnlyOnYes) {
    form->List1->AddItem({EntryKind::Empty, "/kept", {}});
    form->List1->setSelected(0, true);
    emit form->LblSE->clicked();
    test::BoxAnswerer no(QMessageBox::No);
    form->cmdExit->click();
    EXPECT_EQ(no.title, "Exit Application");
    EXPECT_EQ(no.text, "Are you sure you want to exit?");
    EXPECT_EQ(no.icon, QMessageBox::Question);
    EXPECT_EQ(no.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(no.defaultButton, QMessageBox::Yes);
    EXPECT_TRUE(form->isVisible() && !form->closed());
    EXPECT_EQ(form->windowTitle(), Form1::kIdleCaption);
    EXPECT_TRUE(form->List1->ListCount() == 1 && form->List1->Selected(0));

    test::BoxAnswerer yes(QMessageBox::Yes);
    QTimer::singleShot(0, form->cmdExit, [this] { form->cmdExit->click(); });
    QTimer::singleShot(10000, form.get(),
                       [] { QCoreApplication::exit(42); });  // a guard, should the loop not end
    EXPECT_EQ(QCoreApplication::exec(), 0) << "the program's event loop did not end";
    EXPECT_TRUE(yes.answered());
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->closed() || form->StopRequested)
        << "the close handler must not run on this path";
}

TEST(Form1Start, AFileSystemServiceThatCannotBeCreatedIsReportedAndTheWindowNotLoaded) {
    test::BoxAnswerer answer(QMessageBox::Ok);
    Form1 form([]() -> std::unique_ptr<FileSystemObject> {
        return std::make_unique<FileSystemObject>(
            FileSystemOptions{"/nonexistent/mountinfo", true});
    });
    EXPECT_FALSE(form.loaded());
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.icon, QMessageBox::Critical);
    EXPECT_TRUE(answer.text.contains("/nonexistent/mountinfo")) << answer.text.toStdString();
}

}  // namespace
}  // namespace voidbroom
