// A zero-length file of a folder listed for a total size of 0 goes only as what was checked:
// a file renamed over its name, or one that a program holds open to write, stays with its
// data, whatever the moment another program chooses.
#include "fs/EmptyFileRemoval.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fs/FolderDeleter.h"
#include "fs/FsError.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

using test::contentOf;
using test::exists;

DeleteCheck zeroSizeCheckOf(const std::string& path) {
    OpenedFolder folder = openFolderPath(path, FollowLinks::No);
    DeleteCheck check;
    check.folder = identityOf(folder.fd.get());
    check.rule = DeleteRule::ZeroLengthOnly;
    return check;
}

// Deletes the zero-size folder at `path`, calling `race` just before each of its files goes;
// the reason it failed, or "".
std::string deleteRacing(const std::string& path, std::function<void(const std::string&)> race) {
    const DeleteCheck check = zeroSizeCheckOf(path);
    FolderDeleter deleter;
    deleter.beforeFileRemoved = std::move(race);
    try {
        deleter.deleteFolder(path, check);
    } catch (const FsError& error) {
        return error.what();
    }
    return {};
}

// Nothing put aside is ever left behind under the program's private name.
bool asideLeftIn(const std::string& folder) {
    if (!exists(folder)) return false;
    for (const std::string& name : test::namesIn(folder))
        if (name.starts_with(".voidbroom-")) return true;
    return false;
}

// A complete file renamed over the zero-length name a moment before it goes: what is checked
// is what was moved, so the file with content is put back under its name and stops the entry.
TEST(EmptyFileRemoval, AFileRenamedOverTheNameStaysUnderItsName) {
    test::TempTree tree({"z/a:0", "z/b:0", "new:7"});
    const std::string reason = deleteRacing(tree.path("z"), [&](const std::string& file) {
        if (file == tree.path("z/b")) rename(tree.path("new").c_str(), file.c_str());
    });
    EXPECT_EQ(reason, tree.path("z/b") + ": holds data written after the scan");
    EXPECT_EQ(contentOf(tree.path("z/b")), "xxxxxxx");
    EXPECT_FALSE(asideLeftIn(tree.path("z")));
}

// A program that opened the empty file before it goes could write to it after an unlink, into
// nothing: a file open elsewhere stays, and what the program writes later is kept.
TEST(EmptyFileRemoval, AFileAnotherProgramHoldsOpenStaysAndKeepsWhatItWritesLater) {
    test::TempTree tree({"z/a:0", "z/s/b:0"});
    int writer = -1;
    const std::string reason = deleteRacing(tree.path("z"), [&](const std::string& file) {
        if (file == tree.path("z/s/b")) writer = open(file.c_str(), O_WRONLY | O_CLOEXEC);
    });
    ASSERT_GE(writer, 0);
    EXPECT_EQ(reason, tree.path("z/s/b") + ": in use by another program");
    ASSERT_EQ(write(writer, "late", 4), 4);
    close(writer);
    EXPECT_EQ(contentOf(tree.path("z/s/b")), "late");
    EXPECT_FALSE(asideLeftIn(tree.path("z/s")));
    EXPECT_FALSE(exists(tree.path("z/a")));
}

// What holds no data goes as it is: links (even to data), FIFOs, empty files; and a file
// that vanished on its own is no failure.
TEST(EmptyFileRemoval, WhatHoldsNoDataGoesAndAVanishedFileIsNoFailure) {
    test::TempTree tree({"z/a:0", "z/link -> ../data", "z/pipe|", "z/gone:0", "data:3"});
    const std::string reason = deleteRacing(tree.path("z"), [&](const std::string& file) {
        if (file == tree.path("z/gone")) unlink(file.c_str());
    });
    EXPECT_EQ(reason, "");
    EXPECT_FALSE(exists(tree.path("z")));
    EXPECT_EQ(contentOf(tree.path("data")), "xxx");

    test::TempTree one({"f:0"});
    const int folder = open(one.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    EXPECT_EQ(removeEmptyFile(folder, "missing", ".aside").verdict, EmptyFileVerdict::Removed);
    EXPECT_EQ(removeEmptyFile(folder, "f", ".aside").verdict, EmptyFileVerdict::Removed);
    close(folder);
    EXPECT_EQ(test::namesIn(one.root()), std::vector<std::string>{});
}

// Where no lease can be had (a file of another user, for a user without CAP_LEASE), the file
// is judged by its length alone: an empty one still goes, one with data still stays.
TEST(EmptyFileRemoval, WithoutALeaseTheLengthDecides) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root, to give the files to another user";
    test::TempTree tree({"u/z/empty:0", "u/w/full:0"});
    for (const char* folder : {"u", "u/z", "u/w"})
        ASSERT_EQ(chown(tree.path(folder).c_str(), test::kNobody, test::kNobody), 0);
    ASSERT_EQ(chmod(tree.root().c_str(), 0755), 0);
    ASSERT_EQ(chmod(tree.path("u/w/full").c_str(), 0666), 0);
    const int result = test::runUnprivileged([&] {
        const bool emptyGone = deleteRacing(tree.path("u/z"), {}).empty();
        const std::string full = deleteRacing(tree.path("u/w"), [&](const std::string& file) {
            std::FILE* data = std::fopen(file.c_str(), "w");
            if (data) std::fputs("data", data), std::fclose(data);
        });
        return emptyGone && full == tree.path("u/w/full") + ": holds data written after the scan"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(exists(tree.path("u/z")));
    EXPECT_EQ(contentOf(tree.path("u/w/full")), "data");
}

}  // namespace
}  // namespace voidbroom
