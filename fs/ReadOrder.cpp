#include "fs/ReadOrder.h"

#include <algorithm>

namespace voidbroom {
namespace {

// Levels a comparison climbs at most.
constexpr std::size_t kMaxClimb = 64;

// One step up from a group to its parent, which the step keeps alive in `hold`; false when
// the parent is gone (the walk is past it, so nothing below it is needed).
bool up(const ReadGroup*& group, std::size_t& slot, std::shared_ptr<ReadGroup>& hold) {
    slot = group->place.slot;
    std::shared_ptr<ReadGroup> parent = group->place.parent.lock();
    if (!parent) return false;
    hold = std::move(parent);
    group = hold.get();
    return true;
}

bool sameParent(const ReadGroup& x, const ReadGroup& y) {
    return !x.place.parent.owner_before(y.place.parent) &&
           !y.place.parent.owner_before(x.place.parent);
}

}  // namespace

bool ReadOrder::before(const ReadGroup& a, const ReadGroup& b) {
    if (a.place.level != b.place.level) return a.place.level > b.place.level;
    if (a.place.root != b.place.root) return a.place.root > b.place.root;
    // Far apart in a deep tree, the deeper one is taken to come first, as it does where the
    // walk descends a long chain, rather than climbing the whole chain at every comparison.
    const std::size_t aDepth = a.place.depth, bDepth = b.place.depth;
    if (aDepth > bDepth + kMaxClimb || bDepth > aDepth + kMaxClimb) return aDepth > bDepth;
    const ReadGroup* x = &a;
    const ReadGroup* y = &b;
    std::size_t xSlot = 0, ySlot = 0;
    std::shared_ptr<ReadGroup> holdX, holdY;
    while (x->place.depth > y->place.depth)
        if (!up(x, xSlot, holdX)) return false;
    while (y->place.depth > x->place.depth)
        if (!up(y, ySlot, holdY)) return true;
    // One lies below a folder of the other: below one the other has started, it comes first.
    if (x == y) return x != &a ? xSlot < x->next : ySlot >= y->next && &a != &b;
    for (std::size_t climbed = 0; !sameParent(*x, *y); ++climbed)
        if (climbed == kMaxClimb || !up(x, xSlot, holdX) || !up(y, ySlot, holdY)) return false;
    return x->place.slot < y->place.slot;
}

void ReadOrder::add(std::shared_ptr<ReadGroup> group) {
    // The groups are sorted, the first at the back: the new one goes above those after it.
    auto at = std::partition_point(groups_.begin(), groups_.end(),
                                   [&](const auto& other) { return !before(*other, *group); });
    groups_.insert(at, std::move(group));
}

std::shared_ptr<ReadGroup> ReadOrder::first() {
    while (!groups_.empty()) {
        if (groups_.back()->hasWork()) return groups_.back();
        groups_.pop_back();
    }
    return nullptr;
}

ReadPlace placeOfSubfolders(ReadGroup& parent, std::size_t slot) {
    return ReadPlace{parent.weak_from_this(), slot, parent.place.depth + 1, parent.place.level,
                     parent.place.root};
}

void ReadOrder::cancelAll() {
    for (auto& group : groups_) group->cancelled = true;
    groups_.clear();
}

}  // namespace voidbroom
