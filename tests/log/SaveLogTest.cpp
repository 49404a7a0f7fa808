// The Save Log command, driven offscreen: the log's bytes after real scans, the window while
// and after it saves, and saves that fail. The result list's order is the walk's, which is the
// file system's: expected logs are built in the list's own order from each entry's group.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include "app/ClickableLabel.h"
#include "app/Form1.h"
#include "results/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/Files.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using test::contentOf;
using test::namesIn;

constexpr const char* kHeader = " Empty folders log\r\n";
constexpr const char* kEarlier = "an earlier log\r\n";

struct SaveLogTest : ::testing::Test {
    void SetUp() override {
        form = std::make_unique<Form1>(drive.fsoFactory());
        ASSERT_TRUE(form->loaded());
        form->show();
        ASSERT_TRUE(drive.choose(*form));
        setLogPath(logPath);
    }
    void setLogPath(const std::string& path) { form->Text1->setText(QString::fromStdString(path)); }
    void scan(int mode) {
        form->Combo1->setCurrentIndex(mode);
        form->cmdScan->click();
    }
    // Switches to the SAVE and EXIT panel and presses Save Log.
    void save() {
        emit form->LblSE->clicked();
        form->cmdSaveLog->click();
    }
    // The log the list should give, each entry's group taken from `groups`, in list order.
    std::string expectedLog(const std::map<std::string, std::string>& groups) const {
        std::string log = kHeader;
        EXPECT_EQ(form->List1->ListCount(), groups.size());
        for (std::size_t i = 0; i < form->List1->ListCount(); ++i) {
            const auto group = groups.find(form->List1->List(i));
            EXPECT_NE(group, groups.end()) << "unexpected entry " << form->List1->List(i);
            if (group != groups.end()) log += group->second;
        }
        return log;
    }
    // Which controls are enabled: every control of the window, in one string.
    std::string enabledControls() const {
        std::string out;
        for (const QWidget* control : form->controls()) out += control->isEnabled() ? '1' : '0';
        return out;
    }
    bool windowRestored(const QString& caption) const {
        return !form->SavingLog && form->windowTitle() == caption &&
               enabledControls() == std::string(form->controls().size(), '1');
    }

    test::TestDrive drive{{"keep.txt:1", "Old/", "Cache/a.tmp:0", "Cache/s/", "M/sub/f:1"}};
    test::TempTree logs;
    const std::string logPath = logs.path("log.txt");
    std::unique_ptr<Form1> form;
};

// Old - [Empty]; Cache - [Zero length], contain: its file, its folder, one empty line.
std::map<std::string, std::string> workedExample(const test::TestDrive& drive) {
    return {{drive.path("Old"), drive.path("Old") + " - [Empty]\r\n"},
            {"*** " + drive.path("Cache"),
             drive.path("Cache") +
                 " - [Zero length], contain:\r\n   File: a.tmp\r\nFolder: s\r\n\r\n"}};
}

// Selection does not matter, and success is not announced.
TEST_F(SaveLogTest, TheWorkedExampleIsWrittenByteForByteAfterAScanInMode1) {
    scan(1);
    form->List1->setSelected(0, true);
    test::BoxAnswerer answer(QMessageBox::Ok);
    save();
    EXPECT_EQ(contentOf(logPath), expectedLog(workedExample(drive)));
    EXPECT_FALSE(answer.answered()) << answer.text.toStdString();
    EXPECT_TRUE(form->List1->Selected(0));
    EXPECT_FALSE(form->List1->Selected(1));
    EXPECT_EQ(namesIn(logs.root()), std::vector<std::string>{"log.txt"});
}

// The suffix follows the description of the scan's mode, not the mode box as it is now.
TEST_F(SaveLogTest, AfterAScanInMode2MarkedFoldersAreFoldersWithoutFilesWhateverTheModeBoxSays) {
    scan(2);
    const std::map<std::string, std::string> groups = {
        {drive.path("Old"), drive.path("Old") + " - [Empty]\r\n"},
        {drive.path("Cache/s"), drive.path("Cache/s") + " - [Empty]\r\n"},
        {"*** " + drive.path("M"),
         drive.path("M") +
             " - [No files], contain subfolders:\r\nFolder: sub\r\n   File: f\r\n\r\n"}};
    save();
    EXPECT_EQ(contentOf(logPath), expectedLog(groups));
    form->Combo1->setCurrentIndex(1);
    save();
    EXPECT_EQ(contentOf(logPath), expectedLog(groups));
}

TEST_F(SaveLogTest, AnEmptyListGivesTheHeaderOnly) {
    test::TestDrive empty{{"keep.txt:1"}};
    Form1 window(empty.fsoFactory());
    ASSERT_TRUE(empty.choose(window));
    window.cmdScan->click();
    ASSERT_EQ(window.List1->ListCount(), 0u);
    window.Text1->setText(QString::fromStdString(logPath));
    window.cmdSaveLog->click();
    EXPECT_EQ(contentOf(logPath), kHeader);
}

TEST_F(SaveLogTest, ASecondSaveReplacesTheFirstCompletely) {
    scan(1);
    save();
    scan(0);
    save();
    EXPECT_EQ(contentOf(logPath),
              expectedLog({{drive.path("Old"), drive.path("Old") + " - [Empty]\r\n"},
                           {drive.path("Cache/s"), drive.path("Cache/s") + " - [Empty]\r\n"}}));
}

// A plain entry is written without looking at its folder; a marked one is listed as it is now.
TEST_F(SaveLogTest, FoldersChangedSinceTheScanAreWrittenAsTheListAndTheDiskSay) {
    scan(1);
    std::filesystem::remove(drive.path("Old"));
    std::filesystem::remove(drive.path("Cache/a.tmp"));
    std::filesystem::remove(drive.path("Cache/s"));
    save();
    EXPECT_EQ(contentOf(logPath),
              expectedLog({{drive.path("Old"), drive.path("Old") + " - [Empty]\r\n"},
                           {"*** " + drive.path("Cache"),
                            drive.path("Cache") + " - [Zero length], contain:\r\n\r\n"}}));
}

// Seen from the listing's yield: everything disabled, the close refused; afterwards every
// control enabled (Stop too, which then only sets the flag), the caption back, and between the
// two the caption grew one dot per entry.
TEST_F(SaveLogTest, WhileSavingTheWindowIsLockedAndCannotBeClosedAndAfterwardsEverythingIsEnabled) {
    scan(1);
    const QString caption = form->windowTitle();
    std::string duringSave;
    bool closeRefused = false;
    form->contentYieldHook = [&] {
        duringSave = std::string(form->SavingLog ? "saving " : "idle ") + enabledControls();
        closeRefused = !form->close() && form->isVisible();
    };
    QSignalSpy captions(form.get(), &QWidget::windowTitleChanged);
    save();
    EXPECT_EQ(duringSave, "saving " + std::string(form->controls().size(), '0'));
    EXPECT_TRUE(closeRefused);
    EXPECT_EQ(contentOf(logPath), expectedLog(workedExample(drive))) << "the save completes";
    EXPECT_TRUE(windowRestored(caption));

    ASSERT_GE(captions.size(), 3);
    EXPECT_EQ(captions.first().at(0).toString(), "Saving log...");
    EXPECT_EQ(captions.at(captions.size() - 2).at(0).toString(), "Saving log.....")
        << "two entries, two dots";
    EXPECT_EQ(captions.last().at(0).toString(), caption);
    for (qsizetype i = 1; i + 1 < captions.size(); ++i)
        EXPECT_GT(captions.at(i).at(0).toString().size(),
                  captions.at(i - 1).at(0).toString().size());

    form->cmdStop->click();
    EXPECT_TRUE(form->StopRequested);
    scan(1);
    EXPECT_EQ(form->List1->ListCount(), 2u) << "the next scan clears the flag";
    EXPECT_TRUE(form->close());
}

// Each failure is reported with the path and the reason once the window is restored, and
// leaves any earlier log as it was and no temporary file behind.
struct FailedSave {
    std::string path;
    std::string reason;
    bool earlierLog = true;
};

void expectFailedSave(SaveLogTest& test, const FailedSave& failure) {
    const std::string folder = std::filesystem::path(failure.path).parent_path().string();
    if (failure.earlierLog) std::ofstream(failure.path, std::ios::binary) << kEarlier;
    const auto namesBefore =
        std::filesystem::exists(folder) ? namesIn(folder) : std::vector<std::string>{};
    test.setLogPath(failure.path);
    const QString caption = test.form->windowTitle();
    bool restoredWhenShown = false;
    test::BoxAnswerer answer(QMessageBox::Ok);
    answer.whenShown = [&] { restoredWhenShown = test.windowRestored(caption); };
    test.save();
    ASSERT_TRUE(answer.answered());
    EXPECT_EQ(answer.text.toStdString(),
              "The log could not be saved to " + failure.path + ":\n" + failure.reason);
    EXPECT_TRUE(restoredWhenShown);
    EXPECT_TRUE(test.windowRestored(caption));
    if (failure.earlierLog) {
        EXPECT_EQ(contentOf(failure.path), kEarlier);
    }
    if (std::filesystem::exists(folder)) {
        EXPECT_EQ(namesIn(folder), namesBefore);
    }
}

TEST_F(SaveLogTest, ALogPathThatIsAFolderIsReported) {
    scan(1);
    logs.add("a-folder/");  // inside the test's own folder, whose names are compared after
    expectFailedSave(*this, {logs.path("a-folder"), "it is a folder", false});
}

TEST_F(SaveLogTest, ALogPathInAMissingFolderIsReported) {
    scan(1);
    expectFailedSave(*this, {logs.path("missing/log.txt"),
                             "the folder " + logs.path("missing") + " does not exist", false});
}

TEST_F(SaveLogTest, AMarkedFolderRemovedBeforeTheSaveIsReported) {
    scan(1);
    std::filesystem::remove_all(drive.path("Cache"));
    expectFailedSave(*this, {logPath, "the folder " + drive.path("Cache") +
                                          " could not be listed: it does not exist"});
}

// A small file system filled to the last block after the earlier log was written there.
TEST_F(SaveLogTest, AFullDiskIsReported) {
    logs.add("full/");
    std::string why;
    if (!test::mountTmpfs(logs.path("full"), why)) GTEST_SKIP() << why;
    test::MountedAt mounted{logs.path("full")};
    scan(1);
    const std::string log = logs.path("full/log.txt");
    std::ofstream(log, std::ios::binary) << kEarlier;
    const int filler = open(logs.path("full/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(filler, 0);
    const std::string block(4096, 'x');
    while (write(filler, block.data(), block.size()) > 0) {
    }
    close(filler);
    expectFailedSave(*this, {log, "it could not be written: No space left on device", false});
    EXPECT_EQ(contentOf(log), kEarlier);
}

// Permissions do not bind root: the save runs in a child process as an unprivileged user,
// into a folder that user may not write, over a log that user may not write.
TEST_F(SaveLogTest, ALogTheUserMayNotWriteIsReported) {
    scan(1);
    logs.add("closed/");
    const std::string log = logs.path("closed/log.txt");
    std::ofstream(log, std::ios::binary) << kEarlier;
    ASSERT_EQ(chmod(logs.path("closed").c_str(), 0555), 0);
    ASSERT_EQ(chmod(log.c_str(), 0444), 0);
    setLogPath(log);
    const QString caption = form->windowTitle();
    const int result = test::runUnprivileged([&] {
        test::BoxAnswerer answer(QMessageBox::Ok);
        save();
        std::cerr << "reported: " << answer.text.toStdString() << "\n";
        return (answer.answered() ? 0 : 1) | (answer.text.endsWith("Permission denied") ? 0 : 2) |
               (windowRestored(caption) ? 0 : 4);
    });
    EXPECT_EQ(result, 0) << "1: not reported, 2: another reason, 4: window not restored";
    EXPECT_EQ(contentOf(log), kEarlier);
    EXPECT_EQ(namesIn(logs.path("closed")), std::vector<std::string>{"log.txt"});
}

}  // namespace
}  // namespace voidbroom
