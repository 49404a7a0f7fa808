// The result list's menu: its entries enabled as Delete selected is, Move to Trash with the
// checks of deletion, Open Folder and Copy Path on the current entry. The trash itself is
// the folder trasher's test.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using test::exists;

struct ListMenuTest : test::WindowTest {
    ListMenuTest() : WindowTest({"keep.txt:1", "a/", "b/", "c/"}) {}
    void SetUp() override {
        // Where the drive is a plain folder, it shares the home trash's file system.
        setenv("XDG_DATA_HOME", home.root().c_str(), 1);
        WindowTest::SetUp();
        scan(0);
    }
    void TearDown() override { unsetenv("XDG_DATA_HOME"); }

    QPoint line(long index) const {
        const int height = form->List1->lineHeight();
        return QPoint(20, static_cast<int>(index) * height + height / 2);
    }
    void rightClick(long index) {
        QWidget* viewport = form->List1->viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, line(index),
                                viewport->mapToGlobal(line(index)));
        QApplication::sendEvent(viewport, &event);
    }
    // Trash, Open Folder, Copy Path: '1' where enabled; "" when the menu is not shown.
    std::string menu() {
        if (!form->List1Menu->isVisible()) return "";
        std::string states;
        for (QAction* action : {form->mnuTrash, form->mnuOpenFolder, form->mnuCopyPath})
            states += action->isEnabled() ? '1' : '0';
        form->List1Menu->hide();
        return states;
    }
    std::string selection() const {
        std::string out;
        for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
            out += form->List1->Selected(i) ? '1' : '0';
        return out;
    }

    test::TempTree home;
};

// A right click makes the entry under it current and selects nothing; the keyboard opens the
// same menu. Move to Trash wants a selection; the other two want a current entry.
TEST_F(ListMenuTest, OpensByMouseAndKeyboardWithItsEntriesEnabledAsTheyApply) {
    ASSERT_EQ(entries().size(), 3u);
    form->List1->setListIndex(-1);
    rightClick(10);  // below the entries
    EXPECT_EQ(menu(), "000");
    rightClick(1);
    EXPECT_EQ(menu(), "011");
    EXPECT_EQ(form->List1->ListIndex(), 1);
    EXPECT_EQ(selection(), "000");

    form->List1->setSelected(2, true);
    form->List1->setFocus();
    QTest::keyClick(form->List1, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(menu(), "111");
    QTest::keyClick(form->List1, Qt::Key_Menu);
    EXPECT_EQ(menu(), "111");
    EXPECT_EQ(selection(), "001");

    emit form->mnuCopyPath->triggered();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), drive.path("b"));
    QString opened;
    form->openInFileManager = [&](const QString& path) {
        opened = path;
        return true;
    };
    emit form->mnuOpenFolder->triggered();
    EXPECT_EQ(opened.toStdString(), drive.path("b"));
}

// While a scan runs, Delete selected is off, and so is Move to Trash.
TEST_F(ListMenuTest, MoveToTrashIsOffWhileAScanRuns) {
    std::string during;
    form->scanYieldHook = [&] {
        if (!during.empty() || form->List1->ListCount() == 0) return;
        form->List1->setSelected(0, true);
        rightClick(0);
        during = menu();
    };
    form->cmdScan->click();
    EXPECT_EQ(during, "011");
}

// The selected folders go to the trash last entry first and leave the list; a rescan lists
// nothing in the trash. A folder that got a file since the scan stops the command, is
// reported, and stays with its entry selected.
TEST_F(ListMenuTest, MoveToTrashMovesTheSelectedFoldersWithTheChecksOfDeletion) {
    form->List1->setSelected(0, true);
    form->List1->setSelected(2, true);
    {
        test::BoxAnswerer none(QMessageBox::Ok);
        emit form->mnuTrash->triggered();
        EXPECT_FALSE(none.answered()) << none.text.toStdString();
    }
    EXPECT_EQ(entries(), std::vector<std::string>{drive.path("b")});
    EXPECT_FALSE(exists(drive.path("a")));
    EXPECT_FALSE(exists(drive.path("c")));
    const std::string trash =
        drive.real() ? drive.path(".Trash-" + std::to_string(geteuid())) : home.path("Trash");
    EXPECT_TRUE(exists(trash + "/files/a"));
    EXPECT_TRUE(exists(trash + "/files/c"));

    scan(0);
    EXPECT_EQ(entries(), std::vector<std::string>{drive.path("b")});
    drive.add("b/late.txt:0");
    form->List1->setSelected(0, true);
    test::BoxAnswerer answer(QMessageBox::Ok);
    emit form->mnuTrash->triggered();
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.toStdString().starts_with("The folder " + drive.path("b") +
                                                      " could not be moved to the trash:\n"))
        << answer.text.toStdString();
    EXPECT_TRUE(exists(drive.path("b/late.txt")));
    EXPECT_EQ(selection(), "1");
}

}  // namespace
}  // namespace voidbroom
