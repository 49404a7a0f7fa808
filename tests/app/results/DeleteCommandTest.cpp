// The Delete, Select All and Select All Empty commands of the main window, on a test drive.
// The deletion's own safety checks are the folder deletion's tests.
#include <QPushButton>

#include "app/widgets/ResultListView.h"
#include "tests/support/BoxAnswerer.h"
#include "tests/support/TestDrive.h"

namespace voidbroom {
namespace {

using test::exists;

// In mode 2: a, A/E, c plain; A and Z (no files of their own) marked, each listed before the
// folders beneath it.
struct DeleteTest : test::WindowTest {
    DeleteTest() : WindowTest({"keep.txt:1", "a/", "A/B/one:1", "A/E/", "c/", "Z/B/one:1"}) {}
    void SetUp() override {
        WindowTest::SetUp();
        scan(2);
    }
    void select(const std::string& entry) {
        ASSERT_GE(indexOf(entry), 0) << entry;
        form->List1->setSelected(static_cast<std::size_t>(indexOf(entry)), true);
    }
};

// Select All Empty takes the plain entries, and A is added by hand: deleted from the last
// entry to the first, A/E goes before A (the other way round A/E would be gone with A and
// the command would stop there). Z, not selected, stays listed and on disk.
TEST_F(DeleteTest, SelectedFoldersGoLastEntryFirstAndTheOthersStayInOrder) {
    const std::string markedA = "*** " + drive.path("A"), markedZ = "*** " + drive.path("Z");
    ASSERT_LT(indexOf(markedA), indexOf(drive.path("A/E")));
    form->cmdSelEmpty->click();
    select(markedA);
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdDel->click();
    EXPECT_FALSE(answer.answered()) << answer.text.toStdString();
    EXPECT_EQ(entries(), std::vector<std::string>{markedZ});
    EXPECT_FALSE(form->List1->Selected(0));
    for (const char* gone : {"a", "A", "c"}) EXPECT_FALSE(exists(drive.path(gone))) << gone;
    EXPECT_TRUE(exists(drive.path("Z/B/one")));
}

// A is deleted with A/E in it, while A/E stays listed. Then Select All: the entries after A/E
// go, A/E fails, and the command stops there, with the entries before it untouched.
TEST_F(DeleteTest, AFailureStopsTheCommandAndIsReportedWithThePath) {
    const std::string e = drive.path("A/E");
    select("*** " + drive.path("A"));
    form->cmdDel->click();
    ASSERT_FALSE(exists(e));
    const long failing = indexOf(e);
    ASSERT_GE(failing, 0) << "an unselected entry stays listed although its folder is gone";
    const std::vector<std::string> before = entries();
    form->cmdSelAll->click();
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdDel->click();
    ASSERT_TRUE(answer.answered());
    EXPECT_TRUE(answer.text.toStdString().starts_with(
        "The folder " + e + " could not be deleted:\nit no longer exists"))
        << answer.text.toStdString();
    EXPECT_EQ(entries(), std::vector<std::string>(before.begin(), before.begin() + failing + 1));
    EXPECT_TRUE(form->List1->Selected(static_cast<std::size_t>(failing)));
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(exists(before[i].substr(before[i].starts_with("*** ") ? 4 : 0)),
                  static_cast<long>(i) < failing)
            << before[i];
}

// In mode 1, Z and Y are marked for a total size of 0. A file with content written into Z
// after the scan keeps Z, with the folders on the file's way, and the report names the file;
// Y, unchanged, goes whole.
struct ZeroSizeDeleteTest : test::WindowTest {
    ZeroSizeDeleteTest() : WindowTest({"keep.txt:1", "Z/a:0", "Z/s/t/", "Y/b:0", "Y/s/"}) {}
};

TEST_F(ZeroSizeDeleteTest, AFileWrittenAfterTheScanSurvivesWithItsFoldersAndIsNamed) {
    scan(1);
    const std::string z = "*** " + drive.path("Z"), y = "*** " + drive.path("Y");
    ASSERT_GE(indexOf(z), 0);
    ASSERT_GE(indexOf(y), 0);
    drive.add("Z/s/t/late.txt:5");
    form->List1->setSelected(static_cast<std::size_t>(indexOf(z)), true);
    test::BoxAnswerer answer(QMessageBox::Ok);
    form->cmdDel->click();
    EXPECT_EQ(answer.text.toStdString(),
              "The folder " + drive.path("Z") + " could not be deleted:\n" +
                  drive.path("Z/s/t/late.txt") + ": holds data written after the scan");
    EXPECT_EQ(test::contentOf(drive.path("Z/s/t/late.txt")), "xxxxx");
    EXPECT_TRUE(form->List1->Selected(static_cast<std::size_t>(indexOf(z))));
    form->List1->setSelected(static_cast<std::size_t>(indexOf(z)), false);
    form->List1->setSelected(static_cast<std::size_t>(indexOf(y)), true);
    form->cmdDel->click();
    EXPECT_FALSE(exists(drive.path("Y")));
    EXPECT_EQ(entries(), std::vector<std::string>{z});
}

}  // namespace
}  // namespace voidbroom
