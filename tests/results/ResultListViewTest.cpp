#include "results/ResultListView.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

namespace voidbroom {
namespace {

struct ListViewTest : ::testing::Test {
    void SetUp() override {
        view.resize(300, 200);
        for (int i = 0; i < 50; ++i) view.AddItem("/folder" + std::to_string(i));
        view.show();
    }
    QPoint line(int index) const {
        return QPoint(20, index * view.lineHeight() + view.lineHeight() / 2);
    }
    std::string selection(int first, int last) const {
        std::string out;
        for (int i = first; i <= last; ++i) out += view.Selected(static_cast<std::size_t>(i)) ? '1' : '0';
        return out;
    }
    ResultListView view;
};

TEST_F(ListViewTest, AClickTogglesThatEntryAloneAndMakesItCurrent) {
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, line(2));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, line(4));
    EXPECT_EQ(selection(0, 5), "001010");
    EXPECT_EQ(view.ListIndex(), 4);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, line(2));
    EXPECT_EQ(selection(0, 5), "000010");
    EXPECT_EQ(view.ListIndex(), 2);
}

TEST_F(ListViewTest, ADoubleClickReportsAndLeavesTheSelectionAsItWas) {
    QSignalSpy doubleClicks(&view, &ResultListView::doubleClicked);
    view.setSelected(3, true);
    // A double click arrives as a press and release, then a second press as a double click.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, line(3));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, line(3));
    EXPECT_EQ(doubleClicks.count(), 1);
    EXPECT_EQ(view.ListIndex(), 3);
    EXPECT_TRUE(view.Selected(3));
}

TEST_F(ListViewTest, KeysMoveTheCurrentEntryAndSpaceTogglesIt) {
    view.setFocus();
    view.setListIndex(0);
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_EQ(view.ListIndex(), 2);
    EXPECT_TRUE(view.Selected(2));
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.ListIndex(), 49);
    EXPECT_GT(view.indexAt(line(0)), 0) << "the list scrolled to show the last entry";
    QTest::keyClick(&view, Qt::Key_Home);
    EXPECT_EQ(view.indexAt(line(0)), 0);
}

}  // namespace
}  // namespace voidbroom
