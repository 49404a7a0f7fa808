// The result list's own clicks and keys. Its double click is the content viewer's test.
#include "app/widgets/ResultListView.h"

#include <gtest/gtest.h>

#include <QTest>

namespace voidbroom {
namespace {

struct ListViewTest : ::testing::Test {
    void SetUp() override {
        view.resize(300, 200);
        for (int i = 0; i < 50; ++i)
            view.AddItem({EntryKind::Empty, "/folder" + std::to_string(i), {}});
        view.show();
    }
    QPoint line(int index) const {
        return QPoint(20, index * view.lineHeight() + view.lineHeight() / 2);
    }
    std::string selection() const {
        std::string out;
        for (std::size_t i = 0; i < 6; ++i) out += view.Selected(i) ? '1' : '0';
        return out;
    }
    ResultListView view;
};

TEST_F(ListViewTest, AClickTogglesThatEntryAloneAndMakesItCurrent) {
    for (int index : {2, 4, 2}) QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, line(index));
    EXPECT_EQ(selection(), "000010");
    EXPECT_EQ(view.ListIndex(), 2);
}

TEST_F(ListViewTest, KeysMoveTheCurrentEntryAndSpaceTogglesIt) {
    view.setFocus();
    view.setListIndex(0);
    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Space}) QTest::keyClick(&view, key);
    EXPECT_EQ(view.ListIndex(), 2);
    EXPECT_EQ(selection(), "001000");
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.ListIndex(), 49);
    EXPECT_GT(view.indexAt(line(0)), 0) << "the list scrolled to show the last entry";
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.indexAt(line(0)), 0);
}

}  // namespace
}  // namespace voidbroom
