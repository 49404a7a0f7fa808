#include "fs/ReadOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace voidbroom {
namespace {

// Groups of a walk read ahead, by name: `items` subfolders, the first `next` of them started.
struct Groups {
    std::map<std::string, std::shared_ptr<ReadGroup>> byName;
    std::uint64_t roots = 0;

    std::shared_ptr<ReadGroup> make(const std::string& name, std::size_t items, std::size_t next) {
        auto group = std::make_shared<ReadGroup>();
        group->items.resize(items);
        group->next = next;
        byName[name] = group;
        return group;
    }
    // A group the walk planned for what is left of its level `level`.
    void root(const std::string& name, std::size_t items, std::size_t next, std::size_t level = 0) {
        const auto group = make(name, items, next);
        group->place.root = ++roots;
        group->place.level = level;
    }
    void below(const std::string& parent, std::size_t slot, const std::string& name,
               std::size_t items, std::size_t next) {
        make(name, items, next)->place = placeOfSubfolders(*byName.at(parent), slot);
    }
    std::string nameOf(const ReadGroup* group) const {
        for (const auto& [name, g] : byName)
            if (g.get() == group) return name;
        return "?";
    }
    // The names in the order readers take the groups, each read to its end when taken.
    std::vector<std::string> taken(ReadOrder& order) {
        std::vector<std::string> names;
        while (std::shared_ptr<ReadGroup> group = order.first()) {
            names.push_back(nameOf(group.get()));
            group->next = group->items.size();
        }
        return names;
    }
};

// R is the group of the top's subfolders, slots 0-2 of its 4 started; A (below slot 0) has
// started its first, whose group AA waits; B (below slot 2) waits. R2 the walk planned
// last, for a folder it read itself.
Groups sampleWalk() {
    Groups groups;
    groups.root("R", 4, 3);
    groups.below("R", 0, "A", 2, 1);
    groups.below("A", 0, "AA", 1, 0);
    groups.below("R", 2, "B", 1, 0);
    groups.root("R2", 2, 0);
    return groups;
}

TEST(ReadOrder, GroupsAreTakenInTheWalksOrderWhateverOrderTheyCameIn) {
    const std::vector<std::string> walkOrder = {"R2", "AA", "A", "B", "R"};
    std::vector<std::string> arrival = walkOrder;
    std::sort(arrival.begin(), arrival.end());
    do {
        Groups groups = sampleWalk();
        ReadOrder order;
        for (const std::string& name : arrival) order.add(groups.byName.at(name));
        EXPECT_EQ(groups.taken(order), walkOrder) << "added " << ::testing::PrintToString(arrival);
    } while (std::next_permutation(arrival.begin(), arrival.end()));
}

TEST(ReadOrder, ComparesByTheNextFolderOfEach) {
    Groups groups = sampleWalk();
    const auto before = [&](const std::string& a, const std::string& b) {
        return ReadOrder::before(*groups.byName.at(a), *groups.byName.at(b));
    };
    // Below a started folder before the rest of its group; siblings' groups by their folders.
    EXPECT_TRUE(before("AA", "R"));
    EXPECT_FALSE(before("R", "AA"));
    EXPECT_TRUE(before("A", "B"));
    EXPECT_TRUE(before("AA", "B"));
    EXPECT_FALSE(before("B", "A"));
    EXPECT_FALSE(before("R", "R"));
    // A later root first.
    EXPECT_TRUE(before("R2", "AA"));
    EXPECT_FALSE(before("AA", "R2"));
    // Below a folder a look read before its turn: after the group's next folder.
    groups.below("R", 3, "L", 1, 0);
    groups.byName["R"]->next = 1;
    EXPECT_TRUE(before("R", "L"));
    EXPECT_FALSE(before("L", "R"));
    EXPECT_TRUE(before("A", "R"));
}

// A chain of 300 folders below the first folder of R, whose second waits.
TEST(ReadOrder, AGroupDeepBelowAFolderComesBeforeTheFoldersAfterIt) {
    Groups groups;
    groups.root("R", 2, 1);
    std::string parent = "R";
    for (int depth = 1; depth <= 300; ++depth) {
        const std::string name = "C" + std::to_string(depth);
        groups.below(parent, 0, name, 1, depth == 300 ? 0 : 1);
        parent = name;
    }
    EXPECT_TRUE(ReadOrder::before(*groups.byName.at("C300"), *groups.byName.at("C299")));
    EXPECT_TRUE(ReadOrder::before(*groups.byName.at("C300"), *groups.byName.at("R")));
    EXPECT_FALSE(ReadOrder::before(*groups.byName.at("R"), *groups.byName.at("C300")));
    ReadOrder order;
    order.add(groups.byName.at("R"));
    order.add(groups.byName.at("C300"));
    groups.root("R2", 1, 0);
    order.add(groups.byName.at("R2"));
    EXPECT_EQ(groups.taken(order), (std::vector<std::string>{"R2", "C300", "R"}));
}

// Readers engaged below levels the walk read by itself: the groups it plans then for those
// levels come after everything below the deeper levels planned before them, as the walk
// comes back to a level only when it is done below it.
TEST(ReadOrder, ADeeperLevelComesFirstWhenItWasPlanned) {
    Groups groups;
    groups.root("L3", 2, 1, 3);
    groups.below("L3", 0, "L3A", 2, 0);
    groups.root("L1", 3, 0, 1);
    groups.root("L2", 2, 0, 2);
    groups.root("L3again", 1, 0, 3);  // the level's first group was given up
    ReadOrder order;
    for (const char* name : {"L1", "L3A", "L2", "L3", "L3again"}) order.add(groups.byName.at(name));
    EXPECT_EQ(groups.taken(order), (std::vector<std::string>{"L3again", "L3A", "L3", "L2", "L1"}));
}

TEST(ReadOrder, CancelledGroupsAreNotTakenAndThoseBelowAFolderLeftBehindComeLast) {
    Groups groups;
    groups.root("R", 4, 3);
    groups.below("R", 0, "A", 2, 2);
    groups.below("A", 0, "AA", 1, 0);
    groups.below("R", 1, "C", 1, 0);
    groups.below("R", 2, "B", 1, 0);
    groups.byName.at("C")->cancelled = true;
    // The walk is past A, which had nothing left to read: the group is gone.
    groups.byName.erase("A");
    ReadOrder order;
    for (const char* name : {"AA", "C", "R", "B"}) order.add(groups.byName.at(name));
    EXPECT_EQ(groups.taken(order), (std::vector<std::string>{"B", "R", "AA"}));
}

}  // namespace
}  // namespace voidbroom
