// The double-click on the result list and the content window, driven offscreen.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/Form1.h"
#include "app/Form2.h"
#include "results/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

// Watches for the content window while it is shown modally, notes what it shows, and
// closes it as the user would.
class ContentWindowReader {
public:
    struct Showing {
        QString title;
        QString text;
        QRect textBox;
        QSize size;
        Qt::WindowFlags flags;
        bool readOnly = false;
        bool hasVerticalScrollBar = false;
    };

    ContentWindowReader() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { look(); });
        timer_.start();
    }

    std::vector<Showing> showings;

private:
    void look() {
        auto* window = qobject_cast<Form2*>(QApplication::activeModalWidget());
        if (!window) return;
        showings.push_back({window->windowTitle(), window->Text1->toPlainText(),
                            window->Text1->geometry(), window->size(), window->windowFlags(),
                            window->Text1->isReadOnly(),
                            window->Text1->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn});
        window->close();
    }

    QTimer timer_;
};

struct ContentViewerTest : ::testing::Test {
    void SetUp() override {
        form = std::make_unique<Form1>(drive.fsoFactory());
        ASSERT_TRUE(form->loaded());
        form->show();
        ASSERT_TRUE(drive.choose(*form));
        form->Text1->setText(QString::fromStdString(logs.path("log.txt")));
        form->Combo1->setCurrentIndex(1);
        form->cmdScan->click();
    }
    long indexOf(const std::string& entry) const {
        for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
            if (form->List1->List(i) == entry) return static_cast<long>(i);
        return -1;
    }
    // Makes `entry` the current entry and double-clicks the list, as the handler sees it.
    void doubleClick(const std::string& entry) {
        const long index = indexOf(entry);
        ASSERT_GE(index, 0) << entry;
        form->List1->setListIndex(index);
        emit form->List1->doubleClicked();
    }
    std::size_t contentWindows() const { return form->findChildren<Form2*>().size(); }

    test::TestDrive drive{{"keep.txt:1", "Old/", "Cache/a.tmp:0", "Cache/s/", "Odd/\xff.bin:0",
                           "Many/a/", "Many/b/", "Many/c/"}};
    test::TempTree logs;
    std::unique_ptr<Form1> form;
};

// A plain entry stands for a folder that was empty when it was scanned: the sentence shows
// even though the folder is gone. A real double-click leaves the selection as it was.
TEST_F(ContentViewerTest, APlainEntryShowsTheSentenceWithoutLookingAtTheDisk) {
    const std::string old = drive.path("Old");
    std::filesystem::remove(old);
    const long index = indexOf(old);
    ASSERT_GE(index, 0);
    ContentWindowReader reader;
    const QRect line(0, static_cast<int>(index) * form->List1->lineHeight(), 50,
                     form->List1->lineHeight());
    // Through the window, so that the platform's sequence of events arrives: press,
    // release, press, double click, release.
    const QPoint inWindow = form->List1->viewport()->mapTo(form.get(), line.center());
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, inWindow);
    ASSERT_EQ(reader.showings.size(), 1u);
    EXPECT_EQ(reader.showings[0].title.toStdString(), "Folder " + old + " content:");
    EXPECT_EQ(reader.showings[0].text, "This folder is empty");
    EXPECT_EQ(form->ContentText, "This folder is empty");
    EXPECT_EQ(form->List1->ListIndex(), index);
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
        EXPECT_FALSE(form->List1->Selected(i));
}

// The window is made when it is needed and goes when it is closed; made again, its text box
// is stretched over the client area again. Each showing has its own folder's block only.
TEST_F(ContentViewerTest, MarkedEntriesShowTheirOwnBlockInAFreshWindowEachTime) {
    ContentWindowReader reader;
    EXPECT_EQ(contentWindows(), 0u);
    doubleClick("*** " + drive.path("Cache"));
    EXPECT_EQ(contentWindows(), 0u) << "closing the window unloads it";
    doubleClick("*** " + drive.path("Odd"));
    ASSERT_EQ(reader.showings.size(), 2u);
    EXPECT_EQ(reader.showings[0].title.toStdString(),
              "Folder " + drive.path("Cache") + " content:");
    EXPECT_EQ(reader.showings[0].text, "   File: a.tmp\nFolder: s\n");
    EXPECT_EQ(reader.showings[1].title.toStdString(), "Folder " + drive.path("Odd") + " content:");
    EXPECT_EQ(reader.showings[1].text, "   File: \uFFFD.bin\n") << "a name that is not UTF-8";
    EXPECT_EQ(form->ContentText, "   File: \xff.bin\r\n");
    for (const auto& showing : reader.showings) {
        EXPECT_EQ(showing.size, QSize(312, 217));
        EXPECT_EQ(showing.textBox, QRect(0, 0, 312, 217));
        EXPECT_TRUE(showing.readOnly);
        EXPECT_TRUE(showing.hasVerticalScrollBar);
        EXPECT_EQ(showing.flags & Qt::WindowType_Mask, Qt::Tool);
        EXPECT_TRUE(showing.flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(showing.flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    }
}

// The save leaves the last marked folder's block behind; a folder emptied since the scan then
// shows an empty text, not that block.
TEST_F(ContentViewerTest, TheFirstDoubleClickAfterASaveShowsOnlyItsOwnText) {
    form->cmdSaveLog->click();
    ASSERT_FALSE(form->ContentText.empty());
    std::filesystem::remove(drive.path("Cache/a.tmp"));
    std::filesystem::remove(drive.path("Cache/s"));
    ContentWindowReader reader;
    doubleClick("*** " + drive.path("Cache"));
    ASSERT_EQ(reader.showings.size(), 1u);
    EXPECT_EQ(reader.showings[0].text, "");
    EXPECT_EQ(form->ContentText, "");
}

// The folder itself gone, or a folder below it removed while the listing runs: the path and
// the reason are reported and the window is not shown.
TEST_F(ContentViewerTest, AFailedListingIsReportedAndTheWindowIsNotShown) {
    ContentWindowReader reader;
    std::filesystem::remove_all(drive.path("Cache"));
    {
        test::BoxAnswerer answer(QMessageBox::Ok);
        doubleClick("*** " + drive.path("Cache"));
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.text.toStdString(), "The content of the folder " + drive.path("Cache") +
                                                 " could not be listed:\nit does not exist");
    }
    form->contentYieldHook = [&] { std::filesystem::remove_all(drive.path("Many/b")); };
    {
        test::BoxAnswerer answer(QMessageBox::Ok);
        doubleClick("*** " + drive.path("Many"));
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.text.toStdString(), "The content of the folder " + drive.path("Many") +
                                                 " could not be listed:\n" + drive.path("Many/b") +
                                                 ": it does not exist");
    }
    EXPECT_TRUE(reader.showings.empty());
    EXPECT_EQ(contentWindows(), 0u);
}

// Nothing to show, nothing shown: no window and no message.
TEST_F(ContentViewerTest, ADoubleClickWithoutACurrentEntryDoesNothing) {
    test::TestDrive empty{{"keep.txt:1"}};
    Form1 window(empty.fsoFactory());
    ASSERT_TRUE(empty.choose(window));
    window.cmdScan->click();
    ASSERT_EQ(window.List1->ListCount(), 0u);
    window.ContentText = "untouched";
    ContentWindowReader reader;
    test::BoxAnswerer answer(QMessageBox::Ok);
    emit window.List1->doubleClicked();
    QTest::qWait(20);
    EXPECT_TRUE(reader.showings.empty());
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(window.ContentText, "untouched");
}

// The listing gives up at the next yield, and nothing is shown on the closed window.
TEST_F(ContentViewerTest, ClosingTheMainWindowWhileTheListingYieldsEndsItQuietly) {
    int yields = 0;
    form->contentYieldHook = [&] {
        ++yields;
        EXPECT_TRUE(form->close());
    };
    ContentWindowReader reader;
    test::BoxAnswerer answer(QMessageBox::Ok);
    doubleClick("*** " + drive.path("Many"));
    EXPECT_TRUE(form->closed());
    EXPECT_EQ(yields, 1) << "the listing went on after the close";
    EXPECT_TRUE(reader.showings.empty());
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(contentWindows(), 0u);
}

}  // namespace
}  // namespace voidbroom
