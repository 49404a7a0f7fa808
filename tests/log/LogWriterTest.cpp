// The log file itself: which paths can name it, what it replaces, and its permissions. The
// log's lines, and failed saves, are checked through the window (the Save Log tests).
#include "log/LogWriter.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;

struct QuietHost : LogHost {
    void entryStarted() override {}
    void yield() override {}
};

// Saves the log of `list` (empty by default) to `path`; the failure's reason, or "" when it
// was saved.
std::string save(const std::string& path, const ResultList& list = ResultList()) {
    QuietHost host;
    std::string content;
    try {
        writeLog(path, list, " - [Zero length], contain:", content, host);
    } catch (const FsError& error) {
        return error.path() == path ? error.reason() : "wrong path in the failure: " + error.path();
    }
    return {};
}

TEST(LogFile, PathsThatCannotNameALogAreRefusedWithTheirReason) {
    test::TempTree tree({"fifo|", "loop -> loop"});
    EXPECT_EQ(save(""), "no path is given");
    EXPECT_EQ(save(tree.path("new/")), "a path that ends in \"/\" names a folder, not a file");
    EXPECT_EQ(save(tree.path("fifo")), "it is not a regular file");
    EXPECT_EQ(save(tree.path("loop")), "Too many levels of symbolic links");
}

// The link stays a link and the file it leads to (through a second, relative link) is the one
// replaced, with the header of an empty list alone; a link to a file that does not exist yet
// creates that file.
TEST(LogFile, ThroughSymbolicLinksTheFileTheyLeadToIsReplaced) {
    test::TempTree tree(
        {"real/log.txt:16", "links/second -> ../real/log.txt", "dangling -> real/new.txt"});
    tree.add("first -> " + tree.path("links/second"));
    EXPECT_EQ(save(tree.path("first")), "");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("first")));
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("links/second")));
    EXPECT_EQ(contentOf(tree.path("real/log.txt")), " Empty folders log\r\n");
    EXPECT_EQ(test::namesIn(tree.path("real")), std::vector<std::string>{"log.txt"});
    EXPECT_EQ(save(tree.path("dangling")), "");
    EXPECT_EQ(contentOf(tree.path("real/new.txt")), " Empty folders log\r\n");
}

// A new log gets what a plain create gives under the umask; a replaced one keeps its mode.
TEST(LogFile, ANewLogGetsThePermissionsOfAPlainCreateAndAReplacedOneKeepsItsOwn) {
    test::TempTree tree({"private.txt:16"});
    ASSERT_EQ(chmod(tree.path("private.txt").c_str(), 0604), 0);
    ASSERT_EQ(
        test::runInChild([&] {
            umask(027);
            return save(tree.path("new.txt")).empty() && save(tree.path("private.txt")).empty() ? 0
                                                                                                : 1;
        }),
        0);
    for (const auto& [name, mode] : {std::pair{"new.txt", 0640u}, {"private.txt", 0604u}}) {
        struct stat st;
        ASSERT_EQ(lstat(tree.path(name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << name;
    }
}

// Written in place (the folder refuses new files to its user) on a file system that fills up
// on the way: the failure says that part of the log is all there is now.
TEST(LogFile, AFailedSaveInPlaceSaysTheLogIsIncomplete) {
    test::TempTree tree({"full/"});
    const test::TmpfsMount tmpfs(tree.path("full"));
    if (!tmpfs.mounted) GTEST_SKIP() << tmpfs.why;
    tree.add("full/log.txt:16");
    ASSERT_EQ(chown(tree.path("full/log.txt").c_str(), test::kNobody, test::kNobody), 0);
    ASSERT_EQ(chmod(tree.path("full").c_str(), 0555), 0);
    std::ofstream(tree.path("full/filler")) << std::string(2 << 20, 'x');  // twice what it holds
    ResultList list;
    for (int i = 0; i < 20000; ++i)
        list.append({EntryKind::Empty, tree.path("folder-") + std::to_string(i), {}});
    EXPECT_EQ(
        test::runUnprivileged([&] {
            const std::string reason = save(tree.path("full/log.txt"), list);
            std::fprintf(stderr, "%s\n", reason.c_str());
            return reason ==
                           "it could not be written: No space left on device (it was being written "
                           "in place, so it now holds only part of the log)"
                       ? 0
                       : 1;
        }),
        0);
}

}  // namespace
}  // namespace voidbroom
