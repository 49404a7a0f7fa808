// The log file itself: which paths can name it, what it replaces, and its permissions. The
// log's lines, and failed saves, are checked through the window (the Save Log tests).
#include "log/LogWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "fs/FsError.h"
#include "tests/support/Files.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;
using test::namesIn;
using test::writeFile;

struct QuietHost : LogHost {
    void entryStarted() override {}
    void yield() override {}
};

// Saves an empty list's log to `path`; the failure's reason, or "" when it was saved.
std::string save(const std::string& path) {
    const ResultList list;
    QuietHost host;
    std::string content;
    try {
        writeLog(path, list, " - [Zero length], contain:", content, host);
    } catch (const FsError& error) {
        if (error.path() != path) return "wrong path in the failure: " + error.path();
        return error.reason();
    }
    return {};
}

constexpr const char* kEarlier = "an earlier log\r\n";

TEST(LogFile, PathsThatCannotNameALogAreRefusedWithTheirReason) {
    test::TempTree tree({"folder/", "fifo|"});
    EXPECT_EQ(save(""), "no path is given");
    EXPECT_EQ(save(tree.path("new/")), "a path that ends in \"/\" names a folder, not a file");
    EXPECT_EQ(save(tree.path("folder")), "it is a folder");
    EXPECT_EQ(save(tree.path("fifo")), "it is not a regular file");
    EXPECT_EQ(save(tree.path("missing/log.txt")),
              "the folder " + tree.path("missing") + " does not exist");
    std::filesystem::create_symlink("loop", tree.path("loop"));
    EXPECT_EQ(save(tree.path("loop")), "Too many levels of symbolic links");
}

// The link stays a link and the file it leads to (through a second, relative link) is the one
// replaced; a link to a file that does not exist yet creates that file.
TEST(LogFile, ThroughSymbolicLinksTheFileTheyLeadToIsReplaced) {
    test::TempTree tree({"real/", "links/"});
    writeFile(tree.path("real/log.txt"), kEarlier);
    std::filesystem::create_symlink("../real/log.txt", tree.path("links/second"));
    std::filesystem::create_symlink(tree.path("links/second"), tree.path("first"));
    EXPECT_EQ(save(tree.path("first")), "");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("first")));
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("links/second")));
    EXPECT_EQ(contentOf(tree.path("real/log.txt")), " Empty folders log\r\n");
    EXPECT_EQ(namesIn(tree.path("real")), std::vector<std::string>{"log.txt"});

    std::filesystem::create_symlink("real/new.txt", tree.path("dangling"));
    EXPECT_EQ(save(tree.path("dangling")), "");
    EXPECT_EQ(contentOf(tree.path("real/new.txt")), " Empty folders log\r\n");
}

mode_t modeOf(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A new log gets what a plain create gives under the umask; a replaced one keeps its mode.
TEST(LogFile, ANewLogGetsThePermissionsOfAPlainCreateAndAReplacedOneKeepsItsOwn) {
    test::TempTree tree;
    writeFile(tree.path("private.txt"), kEarlier);
    ASSERT_EQ(chmod(tree.path("private.txt").c_str(), 0604), 0);
    const int result = test::runInChild([&] {
        umask(027);
        return save(tree.path("new.txt")).empty() && save(tree.path("private.txt")).empty() ? 0 : 1;
    });
    ASSERT_EQ(result, 0);
    EXPECT_EQ(modeOf(tree.path("new.txt")), 0640u);
    EXPECT_EQ(modeOf(tree.path("private.txt")), 0604u);
}

}  // namespace
}  // namespace voidbroom
