// The log file itself: where it goes, what replaces what, and what is left after a failure.
// The log's lines are checked through the window (the Save Log tests).
#include "log/LogWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

struct CountingHost : LogHost {
    void entryStarted() override { ++entries; }
    void yield() override { ++yields; }
    int entries = 0;
    int yields = 0;
};

std::string contentOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Names in `folder`, to see that no temporary file is left behind.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Saves `list` to `path`; the failure's reason, or "" when it was saved.
std::string save(const std::string& path, const ResultList& list) {
    CountingHost host;
    std::string content;
    try {
        writeLog(path, list, " - [Zero length], contain:", content, host);
    } catch (const FsError& error) {
        if (error.path() != path) return "wrong path in the failure: " + error.path();
        return error.reason();
    }
    return {};
}

ResultList listOf(const std::vector<std::string>& entries) {
    ResultList list;
    for (const auto& entry : entries) list.append(entry, {});
    return list;
}

constexpr const char* kEarlier = "an earlier log\r\n";

TEST(LogFile, AFailedSaveLeavesTheEarlierLogAsItWasAndNoTemporaryFile) {
    test::TempTree tree({"logs/", "M/s/"});
    const std::string log = tree.path("logs/log.txt");
    writeFile(log, kEarlier);
    const std::string reason = save(
        log, listOf({tree.path("plain"), "*** " + tree.path("M"), "*** " + tree.path("gone")}));
    EXPECT_EQ(reason,
              "the folder " + tree.path("gone") + " could not be listed: it does not exist");
    EXPECT_EQ(contentOf(log), kEarlier);
    EXPECT_EQ(namesIn(tree.path("logs")), std::vector<std::string>{"log.txt"});

    EXPECT_EQ(save(log, listOf({"*** " + tree.path("M")})), "");
    EXPECT_EQ(contentOf(log), " Empty folders log\r\n" + tree.path("M") +
                                  " - [Zero length], contain:\r\nFolder: s\r\n\r\n");
    EXPECT_EQ(namesIn(tree.path("logs")), std::vector<std::string>{"log.txt"});
}

TEST(LogFile, PathsThatCannotNameALogAreRefusedWithTheirReason) {
    test::TempTree tree({"folder/", "fifo|"});
    const ResultList empty;
    EXPECT_EQ(save("", empty), "no path is given");
    EXPECT_EQ(save(tree.path("new/"), empty),
              "a path that ends in \"/\" names a folder, not a file");
    EXPECT_EQ(save(tree.path("folder"), empty), "it is a folder");
    EXPECT_EQ(save(tree.path("fifo"), empty), "it is not a regular file");
    EXPECT_EQ(save(tree.path("missing/log.txt"), empty),
              "the folder " + tree.path("missing") + " does not exist");
    std::filesystem::create_symlink("loop", tree.path("loop"));
    EXPECT_EQ(save(tree.path("loop"), empty), "Too many levels of symbolic links");
}

// The link stays a link and the file it leads to (through a second, relative link) is the one
// replaced; a link to a file that does not exist yet creates that file.
TEST(LogFile, ThroughSymbolicLinksTheFileTheyLeadToIsReplaced) {
    test::TempTree tree({"real/", "links/"});
    writeFile(tree.path("real/log.txt"), kEarlier);
    std::filesystem::create_symlink("../real/log.txt", tree.path("links/second"));
    std::filesystem::create_symlink(tree.path("links/second"), tree.path("first"));
    EXPECT_EQ(save(tree.path("first"), ResultList()), "");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("first")));
    EXPECT_TRUE(std::filesystem::is_symlink(tree.path("links/second")));
    EXPECT_EQ(contentOf(tree.path("real/log.txt")), " Empty folders log\r\n");
    EXPECT_EQ(namesIn(tree.path("real")), std::vector<std::string>{"log.txt"});

    std::filesystem::create_symlink("real/new.txt", tree.path("dangling"));
    EXPECT_EQ(save(tree.path("dangling"), ResultList()), "");
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
        return save(tree.path("new.txt"), ResultList()).empty() &&
                       save(tree.path("private.txt"), ResultList()).empty()
                   ? 0
                   : 1;
    });
    ASSERT_EQ(result, 0);
    EXPECT_EQ(modeOf(tree.path("new.txt")), 0640u);
    EXPECT_EQ(modeOf(tree.path("private.txt")), 0604u);
}

// Writing goes by the user's rights: no new file in a folder the user may not write, and no
// replacing a log the user may not write, although its folder would allow the rename.
// Permissions do not bind root: the saves run as an unprivileged user.
TEST(LogFile, AnUnprivilegedUserCannotSaveWhereTheyMayNotWrite) {
    test::TempTree tree({"closed/", "open/"});
    writeFile(tree.path("closed/log.txt"), "");
    writeFile(tree.path("open/log.txt"), kEarlier);
    ASSERT_EQ(chmod(tree.path("closed").c_str(), 0555), 0);
    ASSERT_EQ(chmod(tree.path("open").c_str(), 0777), 0);
    ASSERT_EQ(chmod(tree.path("open/log.txt").c_str(), 0444), 0);
    const int result = test::runUnprivileged([&] {
        const std::string inClosed = save(tree.path("closed/new.txt"), ResultList());
        const std::string readOnly = save(tree.path("open/log.txt"), ResultList());
        std::cerr << "closed folder: " << inClosed << "\nread-only log: " << readOnly << "\n";
        return (inClosed == "no file can be created in the folder " + tree.path("closed") +
                                ": Permission denied"
                    ? 0
                    : 1) |
               (readOnly == "Permission denied" ? 0 : 2);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(namesIn(tree.path("closed")), std::vector<std::string>{"log.txt"});
    EXPECT_EQ(contentOf(tree.path("open/log.txt")), kEarlier);
    EXPECT_EQ(namesIn(tree.path("open")), std::vector<std::string>{"log.txt"});
}

}  // namespace
}  // namespace voidbroom
