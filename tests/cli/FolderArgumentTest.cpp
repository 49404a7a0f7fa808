// voidbroom-scan as a new user first calls it: FOLDERs given relative to the working folder,
// empty, or reached through links. Each FOLDER is opened once, as the shell would; what is
// listed below it is then deleted or trashed from there, and trash entries are absolute.
#include <limits.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/cli/support/CommandRun.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::Outcome;

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : "";
}

// Each line's path with `from` at its start replaced by `to`.
std::string rebased(const std::string& lines, const std::string& from, const std::string& to) {
    std::string out;
    for (std::size_t start = 0, end; start < lines.size(); start = end + 1) {
        end = lines.find('\n', start);
        std::string line = lines.substr(start, end - start);
        const std::size_t at = line.starts_with("*** ") ? 4 : 0;
        if (line.compare(at, from.size(), from) == 0) line.replace(at, from.size(), to);
        out += line + "\n";
    }
    return out;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// ".", a bare name, "./name" and "../name" list in every mode exactly what the absolute path
// lists, with the path as typed in front (as find does); none of them may hang (the child is
// killed after a while, and its status is then -1).
TEST(FolderArgument, RelativeFoldersListWhatTheirAbsolutePathLists) {
    if (test::builtProgram().empty())
        GTEST_SKIP() << "VOIDBROOM_SCAN is not set: run through ctest";
    test::TempTree tree({"work/A/B/", "work/A/z:0", "work/C/f:1", "work/D/E/y:0", "other/x/"});
    const std::pair<std::string, std::string> cases[] = {{".", tree.path("work")},
                                                         {"A", tree.path("work/A")},
                                                         {"./C/", tree.path("work/C")},
                                                         {"../other", tree.path("other")}};
    std::size_t listed = 0;
    for (int mode = 0; mode <= 2; ++mode) {
        for (const auto& [relative, absolute] : cases) {
            const std::vector<std::string> mode_args = {"--mode", std::to_string(mode)};
            std::vector<std::string> args = mode_args;
            args.push_back(absolute);
            const Outcome byAbsolute = test::runBuilt(args, test::Stream::Pipe, test::Stream::Pipe);
            args.back() = relative;
            const Outcome byRelative = test::runBuilt(args, test::Stream::Pipe, test::Stream::Pipe,
                                                      0, {tree.path("work"), 20});
            ASSERT_EQ(byRelative.status, 0) << relative << " mode " << mode << byRelative.err;
            std::string typed = relative;
            while (typed.size() > 1 && typed.back() == '/') typed.pop_back();
            EXPECT_EQ(byRelative.out, rebased(byAbsolute.out, absolute + "/", typed + "/"))
                << relative << " mode " << mode;
            listed += byAbsolute.out.size();
        }
    }
    EXPECT_GT(listed, 0u);
}

// An unset variable in a script must not become "/": "" is a missing FOLDER, told by name,
// and the other FOLDERs are still walked (and deleted) as usual.
TEST(FolderArgument, AnEmptyFolderIsRefusedAsMissing) {
    test::TempTree tree({"gone/", "kept/f:1"});
    const Outcome alone = test::runCommand({"--delete", ""});
    EXPECT_EQ(alone.status, 2);
    EXPECT_EQ(alone.out, "");
    EXPECT_EQ(alone.err, "voidbroom-scan: cannot open folder '': it does not exist\n");
    const Outcome beside = test::runCommand({"--delete", "", tree.root()});
    EXPECT_EQ(beside.status, 2);
    EXPECT_EQ(beside.out, tree.path("gone") + "\n");
    EXPECT_FALSE(test::exists(tree.path("gone")));
    EXPECT_TRUE(test::exists(tree.path("kept/f")));
}

// A FOLDER that is a link, or has a link on its path (as /bin is on Debian), is opened as the
// shell opens it; what is listed is then deleted or trashed, not reported gone. Below the
// FOLDER no link is followed. The trash's Path= is the folder's real absolute path, also for
// a relative FOLDER.
TEST(FolderArgument, AFolderReachedThroughALinkIsChangedWhereItReallyIs) {
    for (const std::string how : {"--delete", "--trash"}) {
        const std::vector<std::string> kinds = {"via", "hop/real", "real"};
        for (const std::string& typed : kinds) {
            test::TempTree tree({"real/a/", "real/b/z:0", "real/c/f:1", "real/d -> ../outside",
                                 "outside/e/", "via -> real", "hop -> .", "data/"});
            const std::string real = realPath(tree.path("real"));
            setenv("XDG_DATA_HOME", tree.path("data").c_str(), 1);
            // The relative case runs from the tree's root.
            const bool relative = typed == "real";
            char here[PATH_MAX];
            ASSERT_NE(getcwd(here, sizeof here), nullptr);
            if (relative) {
                ASSERT_EQ(chdir(tree.root().c_str()), 0);
            }
            const Outcome outcome =
                test::runCommand({how, "--mode", "1", relative ? typed : tree.path(typed)});
            if (relative) {
                ASSERT_EQ(chdir(here), 0);
            }
            unsetenv("XDG_DATA_HOME");
            const std::string shown = relative ? typed : tree.path(typed);
            EXPECT_EQ(outcome.status, 0) << typed << ": " << outcome.err;
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(sortedLines(outcome.out), sortedLines(shown + "/a\n*** " + shown + "/b\n"))
                << typed;
            EXPECT_FALSE(test::exists(tree.path("real/a"))) << typed;
            EXPECT_FALSE(test::exists(tree.path("real/b"))) << typed;
            EXPECT_TRUE(test::exists(tree.path("real/c/f")));
            EXPECT_TRUE(test::exists(tree.path("outside/e"))) << "a link below is not followed";
            if (how == "--trash") {
                const std::string info = test::contentOf(tree.path("data/Trash/info/a.trashinfo"));
                EXPECT_NE(info.find("\nPath=" + real + "/a\n"), std::string::npos) << info;
            }
        }
    }
}

}  // namespace
}  // namespace voidbroom
