// btrfs subvolumes on a real btrfs image: a subvolume is another file system to the walk, as
// a mount point is, though nothing is mounted there.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "tests/support/RecordingHost.h"
#include "tests/support/Subvolumes.h"

namespace voidbroom {
namespace {

using test::Lines;
using test::sorted;
using test::Subvolumes;

// Nothing in a subvolume is entered, shown or listed, in any mode, with or without readers
// ahead: not an empty one, not what is in a full one. A subvolume makes the size of the
// folder holding it unreadable: "holder", which holds only an empty one, is neither empty
// nor zero-size, and is marked in mode 2, where it has no files of its own.
TEST_F(Subvolumes, ASubvolumeIsNeverEnteredAndMakesItsParentsSizeUnreadable) {
    ASSERT_NO_FATAL_FAILURE(build({"empty-sv", "holder/sv", "full-sv"},
                                  {"x:1", "E/", "Z/z:0", "full-sv/e/", "full-sv/z/z:0",
                                   "full-sv/n/f:1", "full-sv/n/m/", "full-sv/y:0"}));
    ASSERT_TRUE(isSubvolume(at("holder/sv")));
    const std::array<Lines, 3> expected = {
        Lines{at("E")},
        Lines{at("E"), "*** " + at("Z")},
        Lines{at("E"), "*** " + at("holder")},
    };
    const Lines shown = {at(""), at("E"), at("Z"), at("holder")};
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        for (int mode = 0; mode <= 2; ++mode) {
            const test::RecordingHost host = test::walk(at(""), mode, threads);
            EXPECT_EQ(sorted(host.entries), sorted(expected[mode]))
                << "mode " << mode << ", " << threads;
            EXPECT_EQ(sorted(host.captions), shown) << "mode " << mode << ", " << threads;
        }
    }
}

}  // namespace
}  // namespace voidbroom
