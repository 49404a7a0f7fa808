// The double-click on the result list and the content window, driven offscreen.
#include <gtest/gtest.h>

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

// Watches for the content window while it is shown modally, notes what it shows, and closes
// it as the user would.
struct ContentWindowReader {
    struct Showing {
        std::string title;
        QString text;
        QRect textBox;
        QSize size;
        bool readOnly;
    };
    std::vector<Showing> showings;
    QTimer timer;

    ContentWindowReader() {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            auto* window = qobject_cast<Form2*>(QApplication::activeModalWidget());
            if (!window) return;
            showings.push_back({window->windowTitle().toStdString(), window->Text1->toPlainText(),
                                window->Text1->geometry(), window->size(), window->Text1->isReadOnly()});
            window->close();
        });
        timer.start(5);
    }
};

struct ContentViewerTest : test::WindowTest {
    ContentViewerTest()
        : WindowTest({"keep.txt:1", "Old/", "Cache/a.tmp:0", "Cache/s/", "Odd/\xff.bin:0", "Many/a/", "Many/b/"}) {}
    void SetUp() override {
        WindowTest::SetUp();
        form->Text1->setText(QString::fromStdString(logs.path("log.txt")));
        scan(1);
    }
    // Makes `entry` the current entry and double-clicks the list, as the handler sees it.
    void doubleClick(const std::string& entry) {
        ASSERT_GE(indexOf(entry), 0) << entry;
        form->List1->setListIndex(indexOf(entry));
        emit form->List1->doubleClicked();
    }
    std::size_t contentWindows() const { return form->findChildren<Form2*>().size(); }

    test::TempTree logs;
    ContentWindowReader reader;
};

// A plain entry stands for a folder that was empty when it was scanned: the sentence shows
// even though the folder is gone. A real double-click leaves the selection as it was.
TEST_F(ContentViewerTest, APlainEntryShowsTheSentenceWithoutLookingAtTheDisk) {
    const std::string old = drive.path("Old");
    std::filesystem::remove(old);
    const int index = static_cast<int>(indexOf(old)), line = form->List1->lineHeight();
    ASSERT_GE(index, 0);
    // Through the window, so that the platform's sequence of events arrives: press, release,
    // press, double click, release.
    const QPoint inWindow = form->List1->viewport()->mapTo(form.get(), QPoint(25, index * line + line / 2));
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, inWindow);
    ASSERT_EQ(reader.showings.size(), 1u);
    EXPECT_EQ(reader.showings[0].title, "Folder " + old + " content:");
    EXPECT_EQ(reader.showings[0].text, "This folder is empty");
    EXPECT_EQ(form->ContentText, "This folder is empty");
    EXPECT_EQ(form->List1->ListIndex(), index);
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i) EXPECT_FALSE(form->List1->Selected(i));
}

// The window is made when it is needed and goes when it is closed; made again, its text box
// is stretched over the client area again. Each showing has its own folder's block only.
TEST_F(ContentViewerTest, MarkedEntriesShowTheirOwnBlockInAFreshWindowEachTime) {
    doubleClick("*** " + drive.path("Cache"));
    EXPECT_EQ(contentWindows(), 0u) << "closing the window unloads it";
    doubleClick("*** " + drive.path("Odd"));
    ASSERT_EQ(reader.showings.size(), 2u);
    EXPECT_EQ(reader.showings[0].title, "Folder " + drive.path("Cache") + " content:");
    EXPECT_EQ(reader.showings[0].text, "   File: a.tmp\nFolder: s\n");
    EXPECT_EQ(reader.showings[1].text, "   File: \uFFFD.bin\n") << "a name that is not UTF-8";
    EXPECT_EQ(form->ContentText, "   File: \xff.bin\r\n");
    for (const auto& showing : reader.showings) {
        EXPECT_EQ(showing.size, QSize(312, 217));
        EXPECT_EQ(showing.textBox, QRect(0, 0, 312, 217));
        EXPECT_TRUE(showing.readOnly);
    }
}

// The save leaves the last marked folder's block behind; a folder emptied since the scan then
// shows an empty text, not that block.
TEST_F(ContentViewerTest, TheFirstDoubleClickAfterASaveShowsOnlyItsOwnText) {
    form->cmdSaveLog->click();
    ASSERT_FALSE(form->ContentText.empty());
    std::filesystem::remove(drive.path("Cache/a.tmp"));
    std::filesystem::remove(drive.path("Cache/s"));
    doubleClick("*** " + drive.path("Cache"));
    ASSERT_EQ(reader.showings.size(), 1u);
    EXPECT_EQ(reader.showings[0].text, "");
    EXPECT_EQ(form->ContentText, "");
}

// The folder itself gone, or a folder below it removed while the listing runs: the path and
// the reason are reported and no window is shown. Without a current entry nothing happens.
TEST_F(ContentViewerTest, AFailedListingIsReportedAndNoWindowIsShown) {
    std::filesystem::remove_all(drive.path("Cache"));
    form->contentYieldHook = [&] { std::filesystem::remove_all(drive.path("Many/b")); };
    for (const auto& [entry, where] : {std::pair{"Cache", ""}, {"Many", "Many/b: "}}) {
        test::BoxAnswerer answer(QMessageBox::Ok);
        doubleClick("*** " + drive.path(entry));
        ASSERT_TRUE(answer.answered());
        EXPECT_EQ(answer.text.toStdString(), "The content of the folder " + drive.path(entry) + " could not be listed:\n" +
                                                 (*where ? drive.path(where) : "") + "it does not exist");
    }
    form->List1->Clear();
    test::BoxAnswerer answer(QMessageBox::Ok);
    emit form->List1->doubleClicked();
    EXPECT_FALSE(answer.answered());
    EXPECT_TRUE(reader.showings.empty());
    EXPECT_EQ(contentWindows(), 0u);
}

// The listing gives up at the next yield, and nothing is shown on the closed window.
TEST_F(ContentViewerTest, ClosingTheMainWindowWhileTheListingYieldsEndsItQuietly) {
    int yields = 0;
    form->contentYieldHook = [&] {
        ++yields;
        EXPECT_TRUE(form->close());
    };
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
