// The walk against a reference: a deliberately naive walker that does each visit step by step,
// re-summing every folder's whole subtree with no early stop and nothing remembered, so that
// it is obviously right. Both list folders with getdents (readdir here), from offset 0 of an
// unchanged folder, so they meet children in the same order and whole outputs compare as-is.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <random>

#include "tests/support/Compare.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

struct WalkRecord {
    test::Lines entries;
    test::Lines captions;
    int yields = 0;
};

struct Child {
    std::string name;
    bool folder;
};

// A folder's entries in directory order; nullopt when it cannot be listed. The entry types
// come from the listing, so a folder that may be read but not searched still tells them.
std::optional<std::vector<Child>> listFolder(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (!dir) return std::nullopt;
    std::vector<Child> children;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool folder = entry->d_type == DT_DIR;
        struct stat st;
        if (entry->d_type == DT_UNKNOWN && lstat((path + "/" + name).c_str(), &st) == 0)
            folder = S_ISDIR(st.st_mode);
        children.push_back({name, folder});
    }
    closedir(dir);
    return children;
}

std::string join(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

class ReferenceWalk {
public:
    ReferenceWalk(int mode, int stopAt) : mode_(mode), stopAt_(stopAt) {}

    WalkRecord walk(const std::string& rootPath) {
        struct stat st;
        if (lstat(rootPath.c_str(), &st) == 0) device_ = st.st_dev;
        visit(rootPath);
        return run_;
    }

private:
    // The total size; nullopt when any part of the tree cannot be read, another file system
    // included. Links count with their own length.
    std::optional<std::uint64_t> totalSize(const std::string& path) {
        const auto children = listFolder(path);
        if (!children) return std::nullopt;
        std::uint64_t total = 0;
        for (const Child& child : *children) {
            const std::string childPath = join(path, child.name);
            struct stat st;
            if (lstat(childPath.c_str(), &st) != 0) return std::nullopt;
            if (child.folder) {
                if (st.st_dev != device_) return std::nullopt;
                const auto size = totalSize(childPath);
                if (!size) return std::nullopt;
                total += *size;
            } else {
                total += static_cast<std::uint64_t>(st.st_size);
            }
        }
        return total;
    }

    void visit(const std::string& path) {
        if (++run_.yields == stopAt_ || stopped_) {
            stopped_ = true;
            return;
        }
        struct stat st;  // a folder that is not there, or cannot be seen, ends the visit
        if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
        if (st.st_dev != device_) return;  // a mount point is never visited
        run_.captions.push_back(path);
        const auto children = listFolder(path);
        if (!children) return;
        const auto size = totalSize(path);
        const bool zeroSize = size && *size == 0;
        std::size_t files = 0, subfolders = 0;
        for (const Child& child : *children) ++(child.folder ? subfolders : files);
        if (zeroSize) {
            if (files == 0 && subfolders == 0) {
                run_.entries.push_back(path);
                return;
            }
            if (mode_ == 1) {
                run_.entries.push_back("*** " + path);
                return;
            }
        } else if (files == 0 && mode_ == 2) {
            run_.entries.push_back("*** " + path);
        }
        for (const Child& child : *children)
            if (child.folder) visit(join(path, child.name));
    }

    int mode_;
    int stopAt_;
    bool stopped_ = false;
    dev_t device_ = 0;
    WalkRecord run_;
};

// A small pseudo-random tree (about 25 folders) built into `tree` from a fixed seed, mostly of
// the things that decide a class. Keeps the folders it made, for tests that lock some of them.
class RandomTree {
public:
    RandomTree(unsigned seed, test::TempTree& tree) : random_(seed), tree_(tree) { fill("", 0); }
    const std::vector<std::string>& folders() const { return folders_; }
    unsigned next(unsigned n) { return static_cast<unsigned>(random_() % n); }

private:
    void fill(const std::string& at, int depth) {
        const unsigned children = depth == 0 ? 3 + next(5) : next(5);
        for (unsigned i = 0; i < children; ++i) {
            const std::string name = at + (next(6) == 0 ? ".n" : "n") + std::to_string(count_++);
            // Kinds by weight: empty folders, zero-length files, 1-byte files, a FIFO, a link
            // (to the folder holding it, or a loop), chains of empty folders, filled folders.
            // clang-format off
            switch (next(depth < 4 ? 19 : 10)) {
                case 0: case 1: addFolder(name); break;
                case 2: case 3: tree_.add(name + ":0"); break;
                case 4: case 5: tree_.add(name + ":1"); break;
                case 6: tree_.add(name + "|"); break;
                case 7: tree_.add(name + (next(2) ? " -> ." : " -> " + name)); break;
                case 8: case 9:
                    for (const char* level : {"", "/c", "/c/c"}) addFolder(name + level);
                    if (next(2)) tree_.add(name + "/c/c/z:0");
                    break;
                default: addFolder(name); fill(name + "/", depth + 1);
            }
            // clang-format on
        }
    }
    void addFolder(const std::string& name) {
        tree_.add(name + "/");
        folders_.push_back(name);
    }

    std::mt19937 random_;
    test::TempTree& tree_;
    std::vector<std::string> folders_;
    int count_ = 0;
};

// Whether the walk under test, stopped from its host at yield `stopAt` (0: never), gives the
// reference's entries, captions and yields; the message says what differs.
testing::AssertionResult walksLikeTheReference(const std::string& rootPath, int mode,
                                               int stopAt = 0) {
    const WalkRecord expected = ReferenceWalk(mode, stopAt).walk(rootPath);
    test::RecordingHost host(mode);
    host.onYield = [&](int yields) { host.stop = host.stop || yields == stopAt; };
    FolderWalker(host).ScanFolder(rootPath);
    std::string text;
    if (expected.entries != host.entries)
        text += "entries: " + test::lineDifference(expected.entries, host.entries);
    if (expected.captions != host.captions)
        text += "captions: " + test::lineDifference(expected.captions, host.captions);
    if (expected.yields != host.yields)
        text += "yields: expected " + std::to_string(expected.yields) + ", got " +
                std::to_string(host.yields) + "\n";
    if (text.empty()) return testing::AssertionSuccess();
    return testing::AssertionFailure() << text;
}

TEST(ReferenceWalk, RandomTreesGiveTheReferenceEntriesCaptionsAndYieldsInEveryMode) {
    for (unsigned seed = 1; seed <= 150; ++seed) {
        test::TempTree tree;
        RandomTree random(seed, tree);
        for (int mode = 0; mode <= 2; ++mode) {
            ASSERT_TRUE(walksLikeTheReference(tree.rootPath(), mode))
                << "seed " << seed << ", mode " << mode;
        }
    }
}

// A folder whose listing takes several reads: thousands of subfolders with long names, some
// holding a zero-length or a 1-byte file.
TEST(ReferenceWalk, FolderListedInSeveralReadsGivesTheReferenceEntries) {
    test::TempTree tree;
    for (int i = 0; i < 3000; ++i) {
        const std::string name =
            "a-folder-name-long-enough-to-fill-the-buffer-" + std::to_string(i);
        tree.add(i % 97 == 0 ? name + "/f:1" : i % 7 == 0 ? name + "/z:0" : name + "/");
    }
    for (int mode = 0; mode <= 2; ++mode) {
        EXPECT_GE(ReferenceWalk(mode, 0).walk(tree.rootPath()).entries.size(), 2000u);
        EXPECT_TRUE(walksLikeTheReference(tree.rootPath(), mode)) << "mode " << mode;
    }
}

// A stop at any yield keeps exactly the entries of the folders examined before it, in order
// (in mode 2 too, where entries may wait for sizes decided further down), and every visit
// still due in the open folders yields once more and ends.
TEST(ReferenceWalk, StopAtEveryYieldKeepsExactlyTheEntriesFoundBeforeIt) {
    for (unsigned seed = 1; seed <= 25; ++seed) {
        test::TempTree tree;
        RandomTree random(seed, tree);
        for (int mode = 0; mode <= 2; ++mode) {
            const int visits = ReferenceWalk(mode, 0).walk(tree.rootPath()).yields;
            for (int stopAt = 1; stopAt <= visits; ++stopAt) {
                ASSERT_TRUE(walksLikeTheReference(tree.rootPath(), mode, stopAt))
                    << "seed " << seed << ", mode " << mode << ", stop at yield " << stopAt;
            }
        }
    }
}

// Random trees as in the first test, with folders that cannot be read, listed or searched,
// walked as "nobody", for whom permissions count even when the tests run as root.
TEST(ReferenceWalk, RandomTreesWithUnreadableFoldersWalkLikeTheReference) {
    int failures = 0;
    for (unsigned seed = 1; seed <= 60 && failures == 0; ++seed) {
        test::TempTree tree;
        RandomTree random(seed, tree);
        for (const std::string& folder : random.folders()) {
            static const mode_t kModes[] = {0000, 0444, 0111};
            if (random.next(4) == 0) chmod(tree.path(folder).c_str(), kModes[random.next(3)]);
        }
        failures = test::runUnprivileged([&] {
            for (int mode = 0; mode <= 2; ++mode) {
                const auto same = walksLikeTheReference(tree.rootPath(), mode);
                if (same) continue;
                std::fprintf(stderr, "seed %u, mode %d:\n%s", seed, mode, same.message());
                return 1;
            }
            return 0;
        });
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace voidbroom
