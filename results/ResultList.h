#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scan/ResultEntry.h"

namespace voidbroom {

// One line of the result list: a scan's entry and whether the user selected it.
struct ListEntry : ResultEntry {
    bool selected = false;
};

// The result list's content: entries in order, each with a selected flag, and a current
// entry (-1 for none). Entries live in a gap buffer, so that appending, and removing entries
// from the last towards the first as the deletion does, cost O(1) each however long the
// list is; reading any entry is O(1).
class ResultList {
public:
    std::size_t count() const { return entries_.size() - gapLength(); }
    const ListEntry& at(std::size_t i) const { return entries_[physical(i)]; }

    void append(ResultEntry entry);
    // Removes entry i; later entries move down one index. The current entry follows its
    // entry, and becomes -1 when it is the one removed.
    void remove(std::size_t i);
    void clear();

    bool selected(std::size_t i) const { return at(i).selected; }
    void setSelected(std::size_t i, bool selected) { entries_[physical(i)].selected = selected; }

    long current() const { return current_; }
    void setCurrent(long index) { current_ = index; }

private:
    std::size_t gapLength() const { return gapEnd_ - gapBegin_; }
    std::size_t physical(std::size_t i) const { return i < gapBegin_ ? i : i + gapLength(); }
    void moveGapTo(std::size_t i);

    std::vector<ListEntry> entries_;
    std::size_t gapBegin_ = 0;  // entries_[gapBegin_, gapEnd_) hold no entry
    std::size_t gapEnd_ = 0;
    long current_ = -1;
};

}  // namespace voidbroom
