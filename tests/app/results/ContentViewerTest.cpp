// The double-click on the result list and the content window, driven offscreen.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>

#include "app/Form2.h"
#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using Shown = std::vector<std::string>;

// Watches for the content window while it is shown modally, notes its title and text (and
// whether its read-only text box fills it), and closes it as the user would.
struct ContentWindowReader {
    Shown showings;
    bool laidOut = true;
    test::ModalWatcher<Form2> watcher{
        [this](Form2& window) {
            showings.push_back(
                (window.windowTitle() + "\n" + window.Text1->toPlainText()).toStdString());
            laidOut = laidOut && window.size() == QSize(312, 217) && window.Text1->isReadOnly() &&
                      window.Text1->geometry() == QRect(0, 0, 312, 217);
            window.close();
        },
        /*once=*/false};
};

struct ContentViewerTest : test::WindowTest {
    ContentViewerTest()
        : WindowTest({"keep.txt:1", "Old/", "Cache/a.tmp:0", "Cache/s/", "Odd/\xff.bin:0",
                      "Many/a/", "Many/b/"}) {}
    void SetUp() override {
        WindowTest::SetUp();
        scan(1);
    }
    // Makes `entry` the current entry and double-clicks the list, as the handler sees it.
    void doubleClick(const std::string& entry) {
        ASSERT_GE(indexOf(entry), 0) << entry;
        form->List1->setListIndex(indexOf(entry));
        emit form->List1->doubleClicked();
    }
    std::string showing(const std::string& folder, const std::string& text) const {
        return "Folder " + drive.path(folder) + " content:\n" + text;
    }
    std::size_t contentWindows() const { return form->findChildren<Form2*>().size(); }

    ContentWindowReader reader;
};

// A plain entry stands for a folder that was empty when it was scanned: the sentence shows
// even though the folder is gone. A real double-click leaves the selection as it was.
TEST_F(ContentViewerTest, APlainEntryShowsTheSentenceWithoutLookingAtTheDisk) {
    std::filesystem::remove(drive.path("Old"));
    const int index = static_cast<int>(indexOf(drive.path("Old"))),
              line = form->List1->lineHeight();
    ASSERT_GE(index, 0);
    // Through the window, so that the platform's sequence of events arrives: press, release,
    // press, double click, release.
    const QPoint inWindow =
        form->List1->viewport()->mapTo(form.get(), QPoint(25, index * line + line / 2));
    QTest::mouseDClick(form->windowHandle(), Qt::LeftButton, {}, inWindow);
    EXPECT_EQ(reader.showings, Shown{showing("Old", "This folder is empty")});
    EXPECT_EQ(form->ContentText, "This folder is empty");
    EXPECT_EQ(form->List1->ListIndex(), index);
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
        EXPECT_FALSE(form->List1->Selected(i));
}

// The window is made when it is needed and goes when it is closed; made again, its text box
// is stretched over the client area again. Each showing has its own folder's block only.
TEST_F(ContentViewerTest, MarkedEntriesShowTheirOwnBlockInAFreshWindowEachTime) {
    doubleClick("*** " + drive.path("Cache"));
    EXPECT_EQ(contentWindows(), 0u) << "closing the window unloads it";
    doubleClick("*** " + drive.path("Odd"));
    // The name in Odd is not UTF-8: it shows a replacement character.
    EXPECT_EQ(reader.showings, (Shown{showing("Cache", "   File: a.tmp\nFolder: s\n"),
                                      showing("Odd", "   File: \uFFFD.bin\n")}));
    EXPECT_EQ(form->ContentText, "   File: \xff.bin\r\n");
    EXPECT_TRUE(reader.laidOut);
}

// The save leaves the last marked folder's block behind; a folder emptied since the scan then
// shows an empty text, not that block.
TEST_F(ContentViewerTest, TheFirstDoubleClickAfterASaveShowsOnlyItsOwnText) {
    test::TempTree logs;
    form->Text1->setText(QString::fromStdString(logs.path("log.txt")));
    form->cmdSaveLog->click();
    ASSERT_FALSE(form->ContentText.empty());
    std::filesystem::remove(drive.path("Cache/a.tmp"));
    std::filesystem::remove(drive.path("Cache/s"));
    doubleClick("*** " + drive.path("Cache"));
    EXPECT_EQ(reader.showings, Shown{showing("Cache", "")});
    EXPECT_EQ(form->ContentText, "");
}

// The folder itself gone, or a folder below it removed while the listing runs: the path and
// the reason are reported and no window is shown. Without a current entry nothing happens.
TEST_F(ContentViewerTest, AFailedListingIsReportedAndNoWindowIsShown) {
    form->readAheadThreads = 1;  // Many/b is removed from the listing's yield
    std::filesystem::remove_all(drive.path("Cache"));
    form->contentYieldHook = [&] { std::filesystem::remove_all(drive.path("Many/b")); };
    for (const auto& [entry, where] : {std::pair{"Cache", ""}, {"Many", "Many/b: "}}) {
        test::BoxAnswerer answer(QMessageBox::Ok);
        doubleClick("*** " + drive.path(entry));
        EXPECT_EQ(answer.text.toStdString(),
                  "The content of the folder " + drive.path(entry) + " could not be listed:\n" +
                      (*where ? drive.path(where) : "") + "it does not exist");
    }
    form->List1->Clear();
    test::BoxAnswerer answer(QMessageBox::Ok);
    emit form->List1->doubleClicked();
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(reader.showings, Shown{});
    EXPECT_EQ(contentWindows(), 0u);
}

// The listing gives up at the next yield, and nothing is shown on the closed window.
TEST_F(ContentViewerTest, ClosingTheMainWindowWhileTheListingYieldsEndsItQuietly) {
    int yields = 0;
    form->contentYieldHook = [&] {
        EXPECT_TRUE(++yields == 1 && form->close()) << "the listing went on";
    };
    test::BoxAnswerer answer(QMessageBox::Ok);
    doubleClick("*** " + drive.path("Many"));
    EXPECT_TRUE(form->closed());
    EXPECT_EQ(reader.showings, Shown{});
    EXPECT_FALSE(answer.answered());
    EXPECT_EQ(contentWindows(), 0u);
}

}  // namespace
}  // namespace voidbroom
