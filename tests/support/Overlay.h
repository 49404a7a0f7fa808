#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/LoopMount.h"
#include "tests/support/TempTree.h"

namespace voidbroom::test {

// A temporary tree with "lower", "upper", "work" and "merged" folders and a "data" folder
// for the home trash, with the overlay of the first two mounted at "merged".
struct Overlay {
    explicit Overlay(const std::vector<std::string>& lowerItems,
                     const std::vector<std::string>& upperItems = {})
        : tree({"upper/", "work/", "merged/", "data/", "lower/"}) {
        for (const std::string& item : lowerItems) tree.add("lower/" + item);
        for (const std::string& item : upperItems) tree.add("upper/" + item);
        mount = std::make_unique<OverlayMount>(tree.path("lower"), tree.path("upper"),
                                               tree.path("work"), tree.path("merged"));
    }
    std::string merged(const std::string& relative) const {
        return tree.path("merged/" + relative);
    }

    TempTree tree;
    std::unique_ptr<OverlayMount> mount;
};

}  // namespace voidbroom::test

// Skips the test where overlays cannot be mounted here, and fails it where the mount failed.
#define MOUNT_OR_SKIP(overlay)                                                 \
    do {                                                                       \
        if ((overlay).mount->impossible) GTEST_SKIP() << (overlay).mount->why; \
        ASSERT_TRUE((overlay).mount->mounted) << (overlay).mount->why;         \
    } while (false)
