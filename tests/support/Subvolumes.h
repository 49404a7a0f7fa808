#pragma once

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/LoopMount.h"
#include "tests/support/TempTree.h"

namespace voidbroom::test {

// A fresh btrfs mounted at "btrfs" in a temporary tree, whose "data" folder is on the
// temporary folder's own file system.
class Subvolumes : public testing::Test {
protected:
    void SetUp() override {
        if (drive.impossible()) GTEST_SKIP() << drive.why();
        ASSERT_TRUE(drive.mounted()) << drive.why();
    }

    std::string at(const std::string& relative) const { return drive.top() + "/" + relative; }

    // The top folder of a subvolume has inode 256 on btrfs, whatever its name.
    static bool isSubvolume(const std::string& path) {
        struct stat st;
        return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_ino == 256;
    }

    // Makes the subvolumes, in order, then the items (TempTree's), on the drive.
    void build(const std::vector<std::string>& subvolumes, const std::vector<std::string>& items) {
        for (const std::string& subvolume : subvolumes) {
            std::filesystem::create_directories(std::filesystem::path(at(subvolume)).parent_path());
            std::string why;
            ASSERT_TRUE(makeSubvolume(at(subvolume), why)) << why;
        }
        for (const std::string& item : items) tree.add("btrfs/" + item);
    }

    TempTree tree{{"data/"}};
    LoopMount drive{tree, "btrfs", "btrfs"};
};

}  // namespace voidbroom::test
