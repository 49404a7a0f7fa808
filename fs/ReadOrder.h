#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fs/FolderRead.h"

namespace voidbroom {

// A folder as a reader thread opened and read it, ahead of the walk that will enter it.
struct ReadFolder {
    OpenOutcome outcome;
    Fd fd;  // kept while it has subfolders, for the walk's own later opens
    FolderListing listing;
    NameList subfolders;
    FolderIdentity identity;
    bool seenAsFolder = false;                // not opened, but a folder stands there
    std::chrono::nanoseconds took{0};         // to open and read it
    std::shared_ptr<struct ReadGroup> group;  // its subfolders, read ahead in turn
};

// Where a group's folders come in the walk. The group of a folder's subfolders comes right
// after that folder, before the folder's later siblings. A group the walk planned itself (a
// root) holds what is left of one of its levels: the walk finishes a deeper level before it
// goes on with a shallower one, so a deeper root comes first, and of two at one level (one
// given up, one planned again) the later.
struct ReadPlace {
    std::weak_ptr<ReadGroup> parent;  // the group that holds the folder whose subfolders these are
    std::size_t slot = 0;             // that folder's slot in it
    std::size_t depth = 0;            // below its root
    std::size_t level = 0;            // the walk's level whose subfolders its root holds
    std::uint64_t root = 0;           // the root's number, in the order planned
};

// The subfolders of one folder, to be read ahead in order, opened relative to the folder's
// own descriptor (a duplicate, closed once every subfolder has been started).
struct ReadGroup : std::enable_shared_from_this<ReadGroup> {
    enum class State { Pending, Reading, Done, Taken };
    struct Slot {
        State state = State::Pending;
        std::optional<ReadFolder> folder;
    };
    Fd fd;
    NameList names;
    std::string path;  // the folder's, from the top of the walk, where the rules need paths
    std::vector<Slot> items;
    ReadPlace place;
    std::size_t next = 0;      // the first slot not started
    std::size_t inFlight = 0;  // items being read
    bool cancelled = false;

    bool hasWork() const { return !cancelled && next < items.size(); }
};

// The place of the group of the subfolders of slot `slot` of `parent`.
ReadPlace placeOfSubfolders(ReadGroup& parent, std::size_t slot);

// The groups with folders not started yet, in the order the walk will enter their next
// folders, so that readers read first what the walk needs first. (Taking the group admitted
// last instead reads whole subtrees far ahead of the walk whenever a later sibling happens to
// be read before an earlier one, which many readers make the rule: the window fills with
// folders the walk needs much later, and it reads the ones it needs now itself.)
class ReadOrder {
public:
    void add(std::shared_ptr<ReadGroup> group);
    // The group whose next folder the walk enters first; nullptr when none has any left.
    std::shared_ptr<ReadGroup> first();
    // Cancels every group in it, when the walk is over.
    void cancelAll();
    // Whether the next folder of `a` comes before that of `b` in the walk.
    static bool before(const ReadGroup& a, const ReadGroup& b);

private:
    std::vector<std::shared_ptr<ReadGroup>> groups_;  // in the walk's order from the back
};

}  // namespace voidbroom
