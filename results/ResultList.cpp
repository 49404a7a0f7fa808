#include "results/ResultList.h"

#include <algorithm>

namespace voidbroom {

void ResultList::append(ResultEntry entry) {
    if (gapLength() > 0) {
        moveGapTo(count());
        entries_.resize(gapBegin_);
        gapEnd_ = gapBegin_;
    }
    entries_.push_back(ListEntry{std::move(entry), false});
    gapBegin_ = gapEnd_ = entries_.size();
}

void ResultList::remove(std::size_t i) {
    moveGapTo(i);
    entries_[gapEnd_] = ListEntry{};
    ++gapEnd_;
    if (current_ == static_cast<long>(i))
        current_ = -1;
    else if (current_ > static_cast<long>(i))
        --current_;
}

void ResultList::clear() {
    entries_.clear();
    gapBegin_ = gapEnd_ = 0;
    current_ = -1;
}

// Moves the gap so that it starts at entry index i; the entries it passes over change sides.
void ResultList::moveGapTo(std::size_t i) {
    if (gapLength() == 0) {
        gapBegin_ = gapEnd_ =
            i;  // nothing to move, and moving entries onto themselves empties them
        return;
    }
    if (i < gapBegin_) {
        std::move_backward(entries_.begin() + i, entries_.begin() + gapBegin_,
                           entries_.begin() + gapEnd_);
    } else if (i > gapBegin_) {
        std::move(entries_.begin() + gapEnd_, entries_.begin() + i + gapLength(),
                  entries_.begin() + gapBegin_);
    }
    const std::size_t length = gapLength();
    gapBegin_ = i;
    gapEnd_ = i + length;
}

}  // namespace voidbroom
