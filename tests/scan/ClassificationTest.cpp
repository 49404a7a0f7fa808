// The listing rule in each mode, on the smallest trees that tell a right walk from a wrong
// one. Where a folder holds several subfolders, their order is the file system's; each case
// is built so that at most one entry can come from below a folder that has several.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <array>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Lines;

struct Case {
    std::vector<std::string> items;
    std::array<Lines, 3> expected;  // modes 0, 1 and 2, with the tree's root written "R"
    const char* locked = nullptr;   // a folder given `lockedMode`, for a walk without privileges
    mode_t lockedMode = 0;
};

// The 1-byte file "x" at the root keeps the root itself out of most cases.
const Case kCases[] = {
    {{}, {Lines{"R/"}, Lines{"R/"}, Lines{"R/"}}},  // the root's path keeps its final slash
    {{"A/B/", "A/f:0"},
     {Lines{"R/A/B"}, Lines{"*** R/"}, Lines{"R/A/B"}}},  // not entered when marked
    {{"x:1", "A/B/"}, {Lines{"R/A/B"}, Lines{"*** R/A"}, Lines{"R/A/B"}}},
    {{"x:1", "A/f:0", "A/g:0"}, {Lines{}, Lines{"*** R/A"}, Lines{}}},
    {{"x:1", "A/B/f:1"}, {Lines{}, Lines{}, Lines{"*** R/A"}}},
    // Pre-order: A before B although only C, found last, decides both.
    {{"x:1", "A/B/C/f:1"}, {Lines{}, Lines{}, Lines{"*** R/A", "*** R/A/B"}}},
    {{"x:1", "A/f:1", "A/B/"}, {Lines{"R/A/B"}, Lines{"R/A/B"}, Lines{"R/A/B"}}},
    // A waits for its size in mode 2: C's files decide it, though B, between them, holds no
    // entry of its own.
    {{"x:1", "A/B/f:0", "A/B/C/f:0"}, {Lines{}, Lines{"*** R/A"}, Lines{}}},
    // Mode 2 goes on below a marked folder.
    {{"x:1", "A/B/f:1", "A/C/D/"},
     {Lines{"R/A/C/D"}, Lines{"*** R/A/C"}, Lines{"*** R/A", "R/A/C/D"}}},
    // U cannot be opened, so A's size cannot be read: not zero-size in mode 1, marked in mode 2.
    {{"x:1", "A/U/inner/", "A/E/"},
     {Lines{"R/A/E"}, Lines{"R/A/E"}, Lines{"*** R/A", "R/A/E"}},
     "A/U",
     0},
    // A may be listed but not searched: S cannot be seen to be a folder, let alone an empty one.
    {{"x:1", "A/S/"}, {Lines{}, Lines{}, Lines{"*** R/A"}}, "A", 0444},
};

// Walks as "nobody", for whom permissions count even when the tests run as root. Differences
// are printed by the child; the test sees their number.
TEST(Classification, EachModeListsExactlyItsFolders) {
    for (const Case& c : kCases) {
        test::TempTree tree(c.items);
        ASSERT_TRUE(!c.locked || chmod(tree.path(c.locked).c_str(), c.lockedMode) == 0);
        const int failures = test::runUnprivileged([&] {
            int failures = 0;
            for (int mode = 0; mode <= 2; ++mode) {
                const test::RecordingHost host = test::walk(tree.rootPath(), mode);
                Lines entries = host.entries;
                // Each entry knows why it was listed, and shows it.
                const EntryKind marked = mode == 1 ? EntryKind::ZeroSize : EntryKind::NoFiles;
                for (std::size_t i = 0; i < entries.size(); ++i)
                    failures += host.kinds[i] !=
                                (entries[i].starts_with("*** ") ? marked : EntryKind::Empty);
                for (std::string& line : entries)
                    line.replace(line.find(tree.root()), tree.root().size(), "R");
                const std::string difference = test::lineDifference(c.expected[mode], entries);
                if (!difference.empty())
                    std::fprintf(stderr, "mode %d:\n%s", mode, difference.c_str());
                failures += !difference.empty();
            }
            return failures;
        });
        EXPECT_EQ(failures, 0) << "tree " << &c - kCases;
    }
}

}  // namespace
}  // namespace voidbroom
