// The walk against a reference: a deliberately naive walker that does each visit step by step,
// re-summing every folder's whole subtree with no early stop and nothing remembered, so that
// it is obviously right. Both list folders with getdents (readdir here), from offset 0 of an
// unchanged folder, so they meet children in the same order and whole outputs compare as-is.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>

#include "tests/support/RecordingHost.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

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
        struct stat st;
        const bool unknown =
            entry->d_type == DT_UNKNOWN && lstat((path + "/" + name).c_str(), &st) == 0;
        children.push_back({name, unknown ? S_ISDIR(st.st_mode) : entry->d_type == DT_DIR});
    }
    closedir(dir);
    return children;
}

std::string join(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The reference walk in `mode`, stopped at yield `stopAt` (0: never), recorded as a host would.
struct ReferenceWalk {
    int mode, stopAt;
    dev_t device = 0;
    bool stopped = false;
    test::RecordingHost run;

    ReferenceWalk(const std::string& rootPath, int mode, int stopAt = 0)
        : mode(mode), stopAt(stopAt) {
        struct stat st;
        if (lstat(rootPath.c_str(), &st) == 0) device = st.st_dev;
        visit(rootPath);
    }

    // The total size; nullopt when any part of the tree cannot be read, another file system
    // included. Links count with their own length.
    std::optional<std::uint64_t> totalSize(const std::string& path) {
        const auto children = listFolder(path);
        if (!children) return std::nullopt;
        std::uint64_t total = 0;
        for (const Child& child : *children) {
            struct stat st;
            if (lstat(join(path, child.name).c_str(), &st) != 0) return std::nullopt;
            const auto size = !child.folder         ? std::optional<std::uint64_t>(st.st_size)
                              : st.st_dev == device ? totalSize(join(path, child.name))
                                                    : std::nullopt;
            if (!size) return std::nullopt;
            total += *size;
        }
        return total;
    }

    void visit(const std::string& path) {
        if (++run.yields == stopAt || stopped) {
            stopped = true;
            return;
        }
        struct stat
            st;  // a folder that is not there, cannot be seen, or is a mount point ends the visit
        if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_dev != device) return;
        run.captions.push_back(path);
        const auto children = listFolder(path);
        if (!children) return;
        const auto size = totalSize(path);
        const bool files = std::any_of(children->begin(), children->end(),
                                       [](const Child& c) { return !c.folder; });
        if (size == 0u && (children->empty() || mode == 1))
            return run.entries.push_back(children->empty() ? path : "*** " + path);
        if (size != 0u && !files && mode == 2) run.entries.push_back("*** " + path);
        for (const Child& child : *children)
            if (child.folder) visit(join(path, child.name));
    }
};

// A small pseudo-random tree (about 25 folders), mostly of the things that decide a class;
// returns the folders it made.
std::vector<std::string> randomTree(std::mt19937& random, test::TempTree& tree,
                                    const std::string& at = "", int depth = 0) {
    const auto next = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    std::vector<std::string> folders;
    for (unsigned i = 0, children = depth == 0 ? 3 + next(5) : next(5); i < children; ++i) {
        // Hidden names, and names that are not UTF-8 or hold a line break, now and then.
        static const char* const kNames[] = {".n", "\xff\xfen", "new\nline", "n",
                                             "n",  "n",         "n",         "n"};
        const std::string name = at + kNames[next(8)] + std::to_string(i);
        // Kinds by weight: empty folders, zero-length files, 1-byte files, a FIFO, a link
        // (to the folder holding it, or a loop), chains of empty folders, filled folders.
        const unsigned kind = next(depth < 4 ? 19 : 10);
        if (kind == 2 || kind == 3) tree.add(name + ":0");
        if (kind == 4 || kind == 5) tree.add(name + ":1");
        if (kind == 6) tree.add(name + "|");
        if (kind == 7) tree.add(name + (next(2) ? " -> ." : " -> " + name));
        if (kind >= 2 && kind <= 7) continue;
        for (const char* level : {"", "/c", "/c/c"}) {
            tree.add(name + level + "/");
            folders.push_back(name + level);
            if (kind != 8 && kind != 9) break;
        }
        if ((kind == 8 || kind == 9) && next(2)) tree.add(name + "/c/c/z:0");
        if (kind >= 10) {
            const auto below = randomTree(random, tree, name + "/", depth + 1);
            folders.insert(folders.end(), below.begin(), below.end());
        }
    }
    return folders;
}

// What differs between the walk under test with `threads` reader threads, stopped from its
// host at yield `stopAt` (0: never), and the reference: entries, captions and yields ("" when
// nothing).
std::string differenceFromTheReference(const std::string& rootPath, int mode, int stopAt = 0,
                                       unsigned threads = kDefaultReadAheadThreads) {
    const test::RecordingHost expected = ReferenceWalk(rootPath, mode, stopAt).run;
    test::RecordingHost host(mode, threads);
    host.onYield = [&](int yields) { host.stop = host.stop || yields == stopAt; };
    host.walk(rootPath);
    std::string text = test::lineDifference(expected.entries, host.entries) +
                       test::lineDifference(expected.captions, host.captions);
    if (expected.yields != host.yields)
        text += "yields: expected " + std::to_string(expected.yields) + ", got " +
                std::to_string(host.yields) + "\n";
    return text;
}

// Random trees, every other one with folders that cannot be read, listed or searched, walked
// as "nobody", for whom permissions count even when the tests run as root. The first ones are
// also stopped at every yield: the walk keeps exactly the entries of the folders examined
// before it, in order (in mode 2 too, where entries wait for sizes decided further down), and
// every visit still due in the open folders yields once more and ends. Whole walks run with
// 1, 2, 8 and 64 reader threads; stopped ones serially and, for the first few, reading ahead.
TEST(ReferenceWalk, RandomTreesWalkLikeTheReferenceWholeAndStoppedAtEveryYieldForEveryThreadCount) {
    for (unsigned seed = 1; seed <= 120; ++seed) {
        test::TempTree tree;
        std::mt19937 random(seed);
        for (const std::string& folder : randomTree(random, tree)) {
            static const mode_t kModes[] = {0000, 0444, 0111};
            if (seed % 2 && random() % 4 == 0)
                chmod(tree.path(folder).c_str(), kModes[random() % 3]);
        }
        ASSERT_EQ(test::runUnprivileged([&] {
                      for (int mode = 0; mode <= 2; ++mode) {
                          const int visits =
                              seed <= 24 ? ReferenceWalk(tree.rootPath(), mode).run.yields : 0;
                          for (const unsigned threads : {1u, 2u, 8u, 64u}) {
                              const bool stops = threads == 1 || (threads == 8 && seed <= 8);
                              for (int stopAt = 0; stopAt <= visits; ++stopAt) {
                                  if (stopAt > 0 && !stops) break;
                                  const std::string difference = differenceFromTheReference(
                                      tree.rootPath(), mode, stopAt, threads);
                                  if (difference.empty()) continue;
                                  std::fprintf(stderr, "mode %d, %u threads, stop at %d:\n%s", mode,
                                               threads, stopAt, difference.c_str());
                                  return 1;
                              }
                          }
                      }
                      return 0;
                  }),
                  0)
            << "seed " << seed;
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
        EXPECT_GE(ReferenceWalk(tree.rootPath(), mode).run.entries.size(), 2000u);
        EXPECT_EQ(differenceFromTheReference(tree.rootPath(), mode), "") << "mode " << mode;
    }
}

}  // namespace
}  // namespace voidbroom
