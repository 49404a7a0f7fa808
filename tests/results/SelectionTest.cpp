#include "results/Selection.h"

#include <gtest/gtest.h>

namespace voidbroom {
namespace {

// Entries as the list shows them: a text that starts with the marker is a marked entry.
ResultList listOf(const std::vector<std::string>& texts) {
    ResultList list;
    for (const auto& text : texts) {
        const bool marked = text.starts_with(kEntryMarker);
        list.append(
            {marked ? EntryKind::ZeroSize : EntryKind::Empty, marked ? text.substr(4) : text, {}});
    }
    return list;
}

// Each entry's text, then its selection as 0 or 1.
std::string shown(const ResultList& list) {
    std::string texts, selection;
    for (std::size_t i = 0; i < list.count(); ++i) {
        texts += entryText(list.at(i));
        selection += list.selected(i) ? '1' : '0';
    }
    return texts + " " + selection;
}

// An entry is plain or marked by why it was listed, whatever its path looks like.
TEST(Selection, SelectAllEmptyTakesExactlyThePlainEntriesAndNeitherCommandMovesTheCurrentEntry) {
    ResultList list = listOf({"a", "*** b", "c", "*** d", "**e", "*** x"});
    list.setSelected(1, true);  // marked entries selected by hand
    list.setSelected(3, true);
    list.setCurrent(3);
    selectAllEmpty(list);
    EXPECT_EQ(shown(list), "a*** bc*** d**e*** x 101010");
    selectAll(list);
    EXPECT_EQ(shown(list), "a*** bc*** d**e*** x 111111");
    EXPECT_EQ(list.current(), 3);
}

// Removing from the last entry towards the first, as the deletion does, keeps every entry
// still to be visited at its index, and the current entry follows its entry. The first
// removal meets an empty gap.
TEST(ResultList, RemovalsKeepOrderSelectionAndCurrentEntry) {
    ResultList list = listOf({"0", "1", "2", "3", "4", "5", "6"});
    for (std::size_t i : {0u, 2u, 5u, 6u}) list.setSelected(i, true);
    list.setCurrent(4);
    for (std::size_t i = list.count(); i-- > 0;)
        if (list.selected(i) && i != 2) list.remove(i);
    EXPECT_EQ(shown(list), "1234 0100");
    EXPECT_EQ(list.current(), 3) << "entry 4 moved down one place";
    list.append({EntryKind::Empty, "7", {}});  // appending after removals closes the gap first
    list.remove(0);
    EXPECT_EQ(shown(list), "2347 1000");
    list.remove(2);
    EXPECT_EQ(list.current(), -1) << "the current entry itself was removed";
}

}  // namespace
}  // namespace voidbroom
