// The Save Log command, driven offscreen: the log's bytes after real scans, the window while
// and after it saves, and saves that fail. The result list's order is the walk's, which is the
// file system's: expected logs are built in the list's own order from each entry's group.
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "app/widgets/ClickableLabel.h"
#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using test::contentOf;
using Groups = std::map<std::string, std::string>;

const std::string kCacheContent = "   File: a.tmp\r\nFolder: s\r\n";

struct SaveLogTest : test::WindowTest {
    SaveLogTest() : WindowTest({"keep.txt:1", "Old/", "Cache/a.tmp:0", "Cache/s/", "M/sub/f:1"}) {}
    void SetUp() override {
        WindowTest::SetUp();
        scan(1);
    }
    // Switches to the SAVE and EXIT panel and saves to `path`.
    void save(const std::string& path) {
        form->Text1->setText(QString::fromStdString(path));
        emit form->LblSE->clicked();
        form->cmdSaveLog->click();
    }
    // The log the list should give, each entry's group taken from `groups`, in list order.
    std::string expectedLog(const Groups& groups) const {
        std::string log = " Empty folders log\r\n";
        EXPECT_EQ(form->List1->ListCount(), groups.size());
        for (const std::string& entry : entries())
            log += groups.contains(entry) ? groups.at(entry) : "?? " + entry;
        return log;
    }
    std::pair<std::string, std::string> plain(const std::string& folder) const {
        return {drive.path(folder), drive.path(folder) + " - [Empty]\r\n"};
    }
    // In mode 1: Old - [Empty]; Cache - [Zero length], contain: `content`, one empty line.
    Groups workedExample(const std::string& content = kCacheContent) const {
        return {plain("Old"),
                {"*** " + drive.path("Cache"),
                 drive.path("Cache") + " - [Zero length], contain:\r\n" + content + "\r\n"}};
    }
    // Every control of the window, enabled or not, in one string.
    std::string enabledControls() const {
        std::string out;
        for (const QWidget* control : form->controls()) out += control->isEnabled() ? '1' : '0';
        return out;
    }
    bool windowRestored(const QString& caption) const {
        return !form->SavingLog && form->windowTitle() == caption &&
               enabledControls() == std::string(form->controls().size(), '1');
    }
    // Saves to `path`, which must fail for `reason`: the path and the reason are reported once
    // the window is restored, and any earlier log and the names in its folder are left as
    // they were (no temporary file behind). What went wrong, or "".
    std::string failedSave(const std::string& path, const std::string& reason) {
        const std::string folder = std::filesystem::path(path).parent_path();
        const auto state = [&] {
            std::string text = contentOf(path) + "\n";
            if (std::filesystem::exists(folder))
                for (const std::string& name : test::namesIn(folder)) text += name + "\n";
            return text;
        };
        const std::string before = state();
        const QString caption = form->windowTitle();
        bool restoredWhenShown = false;
        test::BoxAnswerer answer(QMessageBox::Ok);
        answer.whenShown = [&] { restoredWhenShown = windowRestored(caption); };
        save(path);
        std::string wrong;
        if (answer.text.toStdString() != "The log could not be saved to " + path + ":\n" + reason)
            wrong += "reported: " + answer.text.toStdString() + "\n";
        if (!restoredWhenShown || !windowRestored(caption))
            wrong += "the window was not restored\n";
        if (state() != before) wrong += "the earlier log or its folder changed\n";
        return wrong;
    }

    test::TempTree logs;
    const std::string logPath = logs.path("log.txt");
};

// Selection does not matter, and success is not announced. A second save replaces the first
// and writes a plain entry without looking at its folder, a marked one as it is now.
TEST_F(SaveLogTest, TheWorkedExampleIsWrittenByteForByteAndAgainAsTheDiskIsNow) {
    form->List1->setSelected(0, true);
    test::BoxAnswerer answer(QMessageBox::Ok);
    save(logPath);
    EXPECT_EQ(contentOf(logPath), expectedLog(workedExample()));
    EXPECT_TRUE(form->List1->Selected(0) && !form->List1->Selected(1));
    EXPECT_EQ(test::namesIn(logs.root()), std::vector<std::string>{"log.txt"});
    for (const char* gone : {"Old", "Cache/a.tmp", "Cache/s"})
        std::filesystem::remove(drive.path(gone));
    save(logPath);
    EXPECT_EQ(contentOf(logPath), expectedLog(workedExample("")));
    EXPECT_FALSE(answer.answered()) << answer.text.toStdString();
}

// The suffix follows the description of the scan's mode, not the mode box as it is now.
TEST_F(SaveLogTest, AfterAScanInMode2MarkedFoldersAreFoldersWithoutFilesWhateverTheModeBoxSays) {
    scan(2);
    const Groups groups = {
        plain("Old"),
        plain("Cache/s"),
        {"*** " + drive.path("M"),
         drive.path("M") +
             " - [No files], contain subfolders:\r\nFolder: sub\r\n   File: f\r\n\r\n"}};
    save(logPath);
    EXPECT_EQ(contentOf(logPath), expectedLog(groups));
    form->Combo1->setCurrentIndex(1);
    save(logPath);
    EXPECT_EQ(contentOf(logPath), expectedLog(groups));
}

// Seen from the listing's yield: everything disabled, the close refused; afterwards every
// control enabled (Stop too), the caption back, and between the two the caption grew one dot
// per entry. Then the window may close.
TEST_F(SaveLogTest, WhileSavingTheWindowIsLockedAndCannotBeClosedAndAfterwardsEverythingIsEnabled) {
    const QString caption = form->windowTitle();
    std::string duringSave;
    bool closeRefused = false;
    form->contentYieldHook = [&] {
        duringSave = (form->SavingLog ? "saving " : "idle ") + enabledControls();
        closeRefused = !form->close() && form->isVisible() && !form->closed();
    };
    QSignalSpy captions(form.get(), &QWidget::windowTitleChanged);
    save(logPath);
    EXPECT_EQ(duringSave, "saving " + std::string(form->controls().size(), '0'));
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(contentOf(logPath), expectedLog(workedExample())) << "the save completes";
    EXPECT_TRUE(windowRestored(caption));
    ASSERT_GE(captions.size(), 3);
    EXPECT_EQ(captions.first().at(0).toString(), "Saving log...");
    EXPECT_EQ(captions.at(captions.size() - 2).at(0).toString(), "Saving log.....")
        << "two entries, two dots";
    EXPECT_EQ(captions.last().at(0).toString(), caption);
    for (qsizetype i = 1; i + 1 < captions.size(); ++i)
        EXPECT_GT(captions.at(i).at(0).toString().size(),
                  captions.at(i - 1).at(0).toString().size());
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->fso, nullptr);
}

TEST_F(SaveLogTest, AFailedSaveIsReportedOnceTheWindowIsRestoredAndLeavesTheEarlierLog) {
    logs.add("a-folder/");
    EXPECT_EQ(failedSave(logs.path("a-folder"), "it is a folder"), "");
    EXPECT_EQ(failedSave(logs.path("missing/log.txt"),
                         "the folder " + logs.path("missing") + " does not exist"),
              "");
    // Permissions do not bind root: this save runs as an unprivileged user, over a log and in
    // a folder that user may not write.
    logs.add("closed/log.txt:16");
    ASSERT_EQ(chmod(logs.path("closed/log.txt").c_str(), 0444), 0);
    ASSERT_EQ(chmod(logs.path("closed").c_str(), 0555), 0);
    EXPECT_EQ(test::runUnprivileged([&] {
                  const std::string wrong =
                      failedSave(logs.path("closed/log.txt"), "Permission denied");
                  std::cerr << wrong;
                  return wrong.empty() ? 0 : 1;
              }),
              0);
    logs.add("log.txt:16");
    std::filesystem::remove_all(drive.path("Cache"));
    EXPECT_EQ(failedSave(logPath, "the folder " + drive.path("Cache") +
                                      " could not be listed: it does not exist"),
              "");
}

// Run as root, a save to a name in a folder like /tmp, where another user has put a link to
// a file of root's, is refused and leaves that file as it was.
TEST_F(SaveLogTest, ALinkAnotherUserPutInASharedFolderIsNotFollowed) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can have another user plant a link";
    logs.add("shared/");
    logs.add("secret.txt:16");
    ASSERT_EQ(chmod(logs.path("shared").c_str(), 01777), 0);
    ASSERT_EQ(chmod(logs.path("secret.txt").c_str(), 0600), 0);
    ASSERT_EQ(test::runUnprivileged([&] {
                  logs.add("shared/log.txt -> " + logs.path("secret.txt"));
                  return 0;
              }),
              0);
    EXPECT_EQ(
        failedSave(logs.path("shared/log.txt"),
                   "the link " + logs.path("shared/log.txt") + " was put in the shared " +
                       "folder " + logs.path("shared") + " by another user, and is not followed"),
        "");
    EXPECT_EQ(contentOf(logs.path("secret.txt")), std::string(16, 'x'));
}

// The user's own log in a folder where they may create nothing (root's, or their own made
// read-only) is written where it is, byte for byte, without a word.
TEST_F(SaveLogTest, ALogTheUserMayWriteInAFolderTheyMayNotIsWrittenInPlace) {
    logs.add("closed/log.txt:16");
    if (geteuid() == 0) {
        ASSERT_EQ(chown(logs.path("closed/log.txt").c_str(), test::kNobody, test::kNobody), 0);
    }
    ASSERT_EQ(chmod(logs.path("closed").c_str(), 0555), 0);
    const std::string expected = expectedLog(workedExample());
    EXPECT_EQ(test::runUnprivileged([&] {
                  test::BoxAnswerer answer(QMessageBox::Ok);
                  save(logs.path("closed/log.txt"));
                  if (answer.answered()) std::cerr << answer.text.toStdString() << "\n";
                  return answer.answered()                                    ? 1
                         : contentOf(logs.path("closed/log.txt")) == expected ? 0
                                                                              : 2;
              }),
              0)
        << "1: the save failed, 2: wrong bytes";
    EXPECT_EQ(test::namesIn(logs.path("closed")), std::vector<std::string>{"log.txt"});
}

// A small file system filled to the last block after the earlier log was written there.
TEST_F(SaveLogTest, AFullDiskIsReportedAndLeavesTheEarlierLog) {
    logs.add("full/");
    const test::TmpfsMount tmpfs(logs.path("full"));
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    logs.add("full/log.txt:16");
    std::ofstream(logs.path("full/filler")) << std::string(2 << 20, 'x');  // twice what it holds
    EXPECT_EQ(
        failedSave(logs.path("full/log.txt"), "it could not be written: No space left on device"),
        "");
}

}  // namespace
}  // namespace voidbroom
