// Listings read whole, in as few calls as the file system allows: on one that marks the end
// of a listing in its last entry's offset, a folder that fits one batch costs one call; on
// any other, the empty batch that reports the end is read too. Either way every entry comes
// once, in folders of several batches too.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "fs/DirReader.h"
#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

struct Listed {
    std::vector<std::string> names;  // sorted
    std::size_t calls = 0;
    int error = 0;
};

Listed listWithReader(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << folder;
    DirReader reader;
    Listed listed;
    listed.error = reader.forEach(
        fd,
        [&](const DirEntry& entry) {
            listed.names.emplace_back(entry.name);
            return true;
        },
        listingEndMarkOf(fd));
    listed.calls = reader.reads();
    close(fd);
    std::sort(listed.names.begin(), listed.names.end());
    return listed;
}

// Folders of no, a few and several batches' worth of entries (long names fill 64 KiB with a
// few hundred), made and checked in the folder `at` of `tree`; returns the calls each small
// folder took.
std::size_t callsPerSmallFolder(test::TempTree& tree, const std::string& at) {
    for (const char* item : {"none/", "few/a:0", "few/b/", "few/c -> b"}) tree.add(at + item);
    for (int i = 0; i < 1500; ++i)
        tree.add(at + "many/" + std::string(150, 'n') + std::to_string(i) + ":0");
    const std::string root = tree.path(at);
    for (const char* folder : {"none", "few", "many"}) {
        const Listed listed = listWithReader(root + folder);
        EXPECT_EQ(listed.error, 0) << folder;
        EXPECT_EQ(listed.names, test::namesIn(root + folder)) << folder;
    }
    EXPECT_GT(listWithReader(root + "many").calls, 2u) << "several batches";
    const std::size_t calls = listWithReader(root + "few").calls;
    EXPECT_EQ(listWithReader(root + "none").calls, calls);
    return calls;
}

TEST(DirReader, ListingsAreWholeInAsFewCallsAsTheFileSystemAllows) {
    test::TempTree tree;
    // ext4 marks the end of a hashed listing, which every folder of one block is, unless the
    // file system was made without folder indexes.
    const bool marked = test::endOfListingMarked(tree.root());
    EXPECT_EQ(callsPerSmallFolder(tree, ""), marked ? 1u : 2u);
    if (!marked) std::printf("the temporary folder's file system marks no end: two calls\n");

    // tmpfs marks no end of a listing.
    tree.add("tmpfs/");
    const test::TmpfsMount tmpfs(tree.path("tmpfs"));
    if (!tmpfs.mounted) {
        std::printf("tmpfs part skipped: %s\n", tmpfs.why.c_str());
        return;
    }
    const int tmpfsFd = open(tree.path("tmpfs").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(listingEndMarkOf(tmpfsFd), kNoEndMark);
    close(tmpfsFd);
    EXPECT_EQ(callsPerSmallFolder(tree, "tmpfs/"), 2u);
}

}  // namespace
}  // namespace voidbroom
