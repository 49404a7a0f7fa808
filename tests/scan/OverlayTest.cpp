// An overlay (a read-only lower folder under a writable upper one, as containers and live
// systems use) is walked as a plain folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/Overlay.h"
#include "tests/support/RecordingHost.h"

namespace voidbroom {
namespace {

using test::Lines;
using test::Overlay;
using test::sorted;

// The merged folder shows folders of both layers, merged where both have one, without what
// was removed through it (the upper layer keeps a whiteout for it) and with a folder made
// again over a removed one opaque. A scan of it lists what a scan of the same tree on a plain
// folder lists, in every mode, with or without readers ahead.
TEST(Overlay, TheMergedFolderIsListedAsThePlainFolderWithTheSameTree) {
    const Lines lower = {"x:1",         "A/B/",    "A/C/f:1", "D/z:0", "E/",     "F/G/y:0", "F/H/",
                         "L/l -> ../A", "P/pipe|", "Q/gone/", "R/r:0", "T/t/u/", "V/w/v:0"};
    const Lines upper = {"A/u/", "F/G/w:2", "S/s:0", "R/n/", "T/k:0"};
    Overlay overlay(lower, upper);
    MOUNT_OR_SKIP(overlay);
    test::TempTree plain(lower);
    for (const std::string& item : upper) plain.add(item);
    namespace fs = std::filesystem;
    for (const std::string& root : {overlay.merged(""), plain.rootPath()}) {
        fs::remove(root + "Q/gone");
        fs::remove_all(root + "V/w");
        fs::create_directories(root + "V/w/again");
    }
    for (const unsigned threads : {1u, kDefaultReadAheadThreads}) {
        for (int mode = 0; mode <= 2; ++mode) {
            Lines expected;
            for (const std::string& entry : test::walk(plain.rootPath(), mode, threads).entries) {
                const std::size_t at = entry.find(plain.root());
                expected.push_back(entry.substr(0, at) + overlay.tree.path("merged") +
                                   entry.substr(at + plain.root().size()));
            }
            const Lines merged = test::walk(overlay.merged(""), mode, threads).entries;
            EXPECT_EQ(sorted(merged), sorted(expected)) << "mode " << mode << ", " << threads;
            EXPECT_FALSE(merged.empty());
        }
    }
}

}  // namespace
}  // namespace voidbroom
