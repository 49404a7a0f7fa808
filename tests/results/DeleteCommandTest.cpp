#include <sys/stat.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "app/Form1.h"
#include "results/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

bool exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

struct DeleteTest : ::testing::Test {
    // Scans the drive in `mode` with a fresh window.
    void scan(int mode) {
        form = std::make_unique<Form1>(drive.fsoFactory());
        ASSERT_TRUE(drive.choose(*form));
        form->Combo1->setCurrentIndex(mode);
        form->cmdScan->click();
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < form->List1->ListCount(); ++i) out.push_back(form->List1->List(i));
        return out;
    }
    long indexOf(const std::string& entry) const {
        const auto all = entries();
        const auto it = std::find(all.begin(), all.end(), entry);
        return it == all.end() ? -1 : it - all.begin();
    }
    void select(const std::string& entry) {
        const long i = indexOf(entry);
        ASSERT_GE(i, 0) << entry;
        form->List1->setSelected(static_cast<std::size_t>(i), true);
    }

    test::TestDrive drive{{"keep.txt:1"}};
    std::unique_ptr<Form1> form;
};

TEST_F(DeleteTest, SelectedPlainAndMarkedFoldersGoAndTheOthersStayInOrder) {
    for (const char* item : {"a/", "b/", "m/zero:0", "m/e/", "c/", "d/"}) drive.add(item);
    scan(1);
    const std::string a = drive.path("a"), b = drive.path("b"), c = drive.path("c"), d = drive.path("d");
    const std::string m = "*** " + drive.path("m");
    ASSERT_EQ(form->List1->ListCount(), 5u);
    std::vector<std::string> before = entries();
    // The first and last entries, and the marked one, are selected.
    form->List1->setSelected(0, true);
    form->List1->setSelected(4, true);
    select(m);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (!form->List1->Selected(i)) expected.push_back(before[i]);
    form->cmdDel->click();
    EXPECT_EQ(entries(), expected);
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i) EXPECT_FALSE(form->List1->Selected(i));
    EXPECT_FALSE(exists(drive.path("m")));
    for (const auto& entry : before) {
        const std::string path = entry.starts_with("*** ") ? entry.substr(4) : entry;
        const bool kept = std::find(expected.begin(), expected.end(), entry) != expected.end();
        EXPECT_EQ(exists(path), kept) << path;
    }
}

TEST_F(DeleteTest, AMarkedFolderAndASelectedEntryBeneathItBothGoInnerFirst) {
    for (const char* item : {"A/B/one:1", "A/E/"}) drive.add(item);
    scan(2);
    const std::string markedA = "*** " + drive.path("A");
    const std::string e = drive.path("A/E");
    ASSERT_LT(indexOf(markedA), indexOf(e)) << "a folder is listed before the folders beneath it";
    select(markedA);
    select(e);
    form->cmdDel->click();
    EXPECT_EQ(indexOf(markedA), -1);
    EXPECT_EQ(indexOf(e), -1);
    EXPECT_FALSE(exists(drive.path("A")));
}

TEST_F(DeleteTest, AFailureStopsTheCommandAndIsReportedWithThePath) {
    for (const char* item : {"A/B/one:1", "A/E/", "late/", "z1/", "z2/"}) drive.add(item);
    scan(2);
    const std::string markedA = "*** " + drive.path("A"), e = drive.path("A/E");
    select(markedA);  // deletes A/E with it, while A/E stays listed
    form->cmdDel->click();
    EXPECT_FALSE(exists(e));
    ASSERT_GE(indexOf(e), 0) << "an unselected entry stays listed although its folder is gone";

    // Select everything: the entries after A/E go first, then A/E fails and the command stops.
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i) form->List1->setSelected(i, true);
    const long failing = indexOf(e);
    const std::vector<std::string> before = entries();
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdDel->click();
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.contains(QString::fromStdString(e))) << answer.text.toStdString();
    EXPECT_TRUE(answer.text.contains("no longer exists")) << answer.text.toStdString();
    const std::vector<std::string> expected(before.begin(), before.begin() + failing + 1);
    EXPECT_EQ(entries(), expected) << "entries before the failing one are not visited";
    EXPECT_TRUE(form->List1->Selected(static_cast<std::size_t>(failing)));
    for (std::size_t i = failing + 1; i < before.size(); ++i)
        EXPECT_FALSE(exists(before[i])) << "handled before the failure: " << before[i];
    for (long i = 0; i < failing; ++i) EXPECT_TRUE(exists(before[i])) << before[i];
}

TEST_F(DeleteTest, APlainFolderThatReceivedAFileAfterTheScanIsKept) {
    drive.add("p/");
    scan(0);
    select(drive.path("p"));
    drive.add("p/new.txt:3");
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdDel->click();
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.contains("not empty any more")) << answer.text.toStdString();
    EXPECT_TRUE(exists(drive.path("p/new.txt")));
    EXPECT_GE(indexOf(drive.path("p")), 0);
}

TEST_F(DeleteTest, NothingSelectedDeletesNothing) {
    drive.add("a/");
    scan(0);
    const auto before = entries();
    form->cmdDel->click();
    EXPECT_EQ(entries(), before);
    EXPECT_TRUE(exists(drive.path("a")));
}

TEST_F(DeleteTest, SelectionButtonsSelectAllOrOnlyThePlainEntries) {
    for (const char* item : {"a/", "m/zero:0", "b/"}) drive.add(item);
    scan(1);
    form->List1->setListIndex(1);
    form->cmdSelEmpty->click();
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i)
        EXPECT_EQ(form->List1->Selected(i), !form->List1->List(i).starts_with("***")) << form->List1->List(i);
    form->cmdSelAll->click();
    for (std::size_t i = 0; i < form->List1->ListCount(); ++i) EXPECT_TRUE(form->List1->Selected(i));
    EXPECT_EQ(form->List1->ListIndex(), 1);
}

}  // namespace
}  // namespace voidbroom
