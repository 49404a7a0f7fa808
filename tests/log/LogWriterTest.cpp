// The log file itself: which paths can name it, what it replaces, its permissions, and the
// links and files it refuses in shared folders. The log's lines, and failed saves, are
// checked through the window (the Save Log tests).
#include "log/LogWriter.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <functional>

#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;

const std::string kEmptyLog = " Empty folders log\r\n";

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
    EXPECT_EQ(contentOf(tree.path("real/log.txt")), kEmptyLog);
    EXPECT_EQ(test::namesIn(tree.path("real")), std::vector<std::string>{"log.txt"});
    EXPECT_EQ(save(tree.path("dangling")), "");
    EXPECT_EQ(contentOf(tree.path("real/new.txt")), kEmptyLog);
}

// The walk keeps to the file system, not to the text: ".." after a link is the parent of the
// folder the link leads to, and a relative path starts in the working folder.
TEST(LogFile, RelativePathsAndDotDotAfterALinkAreWalkedAsTheKernelWalksThem) {
    test::TempTree tree({"real/sub/", "up -> real/sub", "work/"});
    EXPECT_EQ(
        test::runInChild([&] {
            if (chdir(tree.path("work").c_str()) != 0) return 1;
            if (!save("../up/../log.txt").empty() || !save("log.txt").empty()) return 2;
            return save("missing/deeper/log.txt") == "the folder missing/deeper does not exist" ? 0
                                                                                                : 3;
        }),
        0);
    EXPECT_EQ(contentOf(tree.path("real/log.txt")), kEmptyLog);
    EXPECT_FALSE(test::exists(tree.path("log.txt")));
    EXPECT_EQ(contentOf(tree.path("work/log.txt")), kEmptyLog);
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

// Root saves into folders where "nobody" puts names: "shared" is sticky and writable by
// everyone, like /tmp, and "private" is root's alone.
struct SharedFolder : testing::Test {
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "only root can have another user plant names";
        ASSERT_EQ(chmod(tree.path("shared").c_str(), 01777), 0);
        ASSERT_EQ(chmod(tree.path("private").c_str(), 0700), 0);
        ASSERT_EQ(chmod(tree.path("private/secret").c_str(), 0600), 0);
    }
    // Adds `items` to the tree as "nobody".
    void plantAsNobody(const std::vector<std::string>& items) {
        ASSERT_EQ(test::runUnprivileged([&] {
                      for (const std::string& item : items) tree.add(item);
                      return 0;
                  }),
                  0);
    }
    // The bytes, mode and owner of a file, or the names in a folder.
    std::string stateOf(const std::string& relative) const {
        const std::string path = tree.path(relative);
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) return relative + " is missing\n";
        std::string state = relative + " " + std::to_string(st.st_mode) + " " +
                            std::to_string(st.st_uid) + ": " + contentOf(path);
        if (S_ISDIR(st.st_mode))
            for (const std::string& name : test::namesIn(path)) state += name + " ";
        return state + "\n";
    }
    std::string linkRefused(const std::string& name) const {
        return "the link " + tree.path("shared/" + name) + " was put in the shared folder " +
               tree.path("shared") + " by another user, and is not followed";
    }

    test::TempTree tree{{"shared/", "private/secret:16"}};
};

// A link to a file of root's, one to a name not taken yet in root's folder, one to root's
// folder itself, root's own link that leads on through one of them, and a file of nobody's:
// each save is refused with its reason, and nothing anywhere is written or created.
TEST_F(SharedFolder, AnotherUsersLinksAndFilesThereAreRefusedAndNothingIsWritten) {
    plantAsNobody({"shared/to-secret -> ../private/secret",
                   "shared/to-new -> " + tree.path("private/new.txt"),
                   "shared/into -> " + tree.path("private"), "shared/theirs.txt:8"});
    tree.add("shared/mine -> to-secret");
    const auto state = [&] {
        return stateOf("shared") + stateOf("private") + stateOf("private/secret") +
               stateOf("shared/theirs.txt");
    };
    const std::string before = state();
    EXPECT_EQ(save(tree.path("shared/to-secret")), linkRefused("to-secret"));
    EXPECT_EQ(save(tree.path("shared/to-new")), linkRefused("to-new"));
    EXPECT_EQ(save(tree.path("shared/into/log.txt")), linkRefused("into"));
    EXPECT_EQ(save(tree.path("shared/mine")), linkRefused("to-secret"));
    EXPECT_EQ(save(tree.path("shared/theirs.txt")),
              "the file " + tree.path("shared/theirs.txt") +
                  " belongs to another user in the shared folder " + tree.path("shared") +
                  ", and is not written");
    EXPECT_EQ(state(), before);
}

// What the kernel's protections let through is followed and written as anywhere else: root's
// own link, the links and file of the owner of a shared folder, and links in folders that are
// only sticky or only writable by everyone.
TEST_F(SharedFolder, LinksAndFilesTheKernelWouldTrustAreFollowedAndWritten) {
    tree.add("nobodys/");
    tree.add("open/");
    tree.add("group/");
    ASSERT_EQ(chown(tree.path("nobodys").c_str(), test::kNobody, test::kNobody), 0);
    ASSERT_EQ(chmod(tree.path("nobodys").c_str(), 01777), 0);
    ASSERT_EQ(chmod(tree.path("open").c_str(), 0777), 0);
    ASSERT_EQ(chown(tree.path("group").c_str(), 0, test::kNobody), 0);
    ASSERT_EQ(chmod(tree.path("group").c_str(), 01770), 0);
    const std::vector<std::string> links = {"shared/link", "nobodys/link", "open/link",
                                            "group/link"};
    tree.add(links[0] + " -> ../private/0");
    plantAsNobody({links[1] + " -> " + tree.path("private/1"), links[2] + " -> ../private/2",
                   links[3] + " -> ../private/3", "nobodys/file.txt:8"});
    ASSERT_EQ(chmod(tree.path("nobodys/file.txt").c_str(), 0604), 0);
    for (std::size_t i = 0; i < links.size(); ++i) {
        tree.add("private/" + std::to_string(i) + ":16");
        EXPECT_EQ(save(tree.path(links[i])), "") << links[i];
        EXPECT_TRUE(std::filesystem::is_symlink(tree.path(links[i]))) << links[i];
        EXPECT_EQ(contentOf(tree.path("private/" + std::to_string(i))), kEmptyLog) << links[i];
    }
    EXPECT_EQ(save(tree.path("nobodys/file.txt")), "");
    EXPECT_EQ(stateOf("nobodys/file.txt"),
              "nobodys/file.txt " + std::to_string(S_IFREG | 0604) + " 65534: " + kEmptyLog + "\n");
    EXPECT_EQ(test::namesIn(tree.path("private")),
              (std::vector<std::string>{"0", "1", "2", "3", "secret"}));
}

}  // namespace
}  // namespace voidbroom
