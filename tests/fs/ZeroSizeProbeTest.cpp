#include "fs/ZeroSizeProbe.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

// The probe's answer for each subfolder of the folder `asking` read last, by name.
std::map<std::string, SizeAnswer> answersForSubfolders(FolderWalk& asking) {
    ZeroSizeProbe probe;
    std::map<std::string, SizeAnswer> answers;
    for (std::size_t i = 0; i < asking.subfolderCount(); ++i)
        answers[std::string(asking.subfolderName(i))] = probe.sizeOfSubfolder(asking, i);
    return answers;
}

// Asked about the subfolders of a folder that the asking walk read by itself, the probe walks
// the trees below them through the walk's looks, and with threads the walk's readers read
// them ahead: the answers are the same for every thread count, and only the serial walk opens
// everything itself.
TEST(ZeroSizeProbe, QuestionsTheAskingWalkCannotAnswerAreReadAheadWithTheSameAnswers) {
    std::vector<std::string> items;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        items.insert(items.end(), {"Z/a" + n + "/b/", "Z/a" + n + "/e:0", "D/a" + n + "/b/"});
    }
    items.push_back("D/a7/b/f:1");
    test::TempTree tree(items);
    for (const unsigned threads : {1u, 8u}) {
        FolderWalk asking(ListingOptions{.fileLengths = true});
        asking.setThreads(threads, std::chrono::nanoseconds(0));
        ASSERT_TRUE(asking.start(tree.root(), FollowLinks::No).opened());
        EXPECT_EQ(answersForSubfolders(asking),
                  (std::map<std::string, SizeAnswer>{{"D", SizeAnswer::NotZero},
                                                     {"Z", SizeAnswer::Zero}}))
            << threads;
        if (threads == 1)
            EXPECT_EQ(asking.opensAhead(), 0u);
        else
            EXPECT_GT(asking.opensAhead(), 0u);
    }
}

// Readers that leave the files' lengths of a folder with subfolders unasked: its subfolders
// answer first, and its files only where every subfolder is zero-size. The answers are those
// of the walk that looks at every folder's files itself.
TEST(ZeroSizeProbe, FilesLeftUnaskedAnswerOnlyWhereTheSubfoldersAreZeroSize) {
    test::TempTree tree({"data-below/f:0", "data-below/s/g:1", "data-beside/f:2", "data-beside/s/",
                         "zero/f:0", "zero/s/t/g:0", "deep/f:0", "deep/s/t/u/g:1", "failing/f:1",
                         "failing/s/t/"});
    const std::map<std::string, SizeAnswer> expected{{"data-below", SizeAnswer::NotZero},
                                                     {"data-beside", SizeAnswer::NotZero},
                                                     {"zero", SizeAnswer::Zero},
                                                     {"deep", SizeAnswer::NotZero},
                                                     {"failing", SizeAnswer::NotZero}};
    for (const unsigned threads : {1u, 8u}) {
        FolderWalk asking(ListingOptions{.fileLengths = true, .subfoldersFirst = true});
        asking.setThreads(threads, std::chrono::nanoseconds(0));
        ASSERT_TRUE(asking.start(tree.root(), FollowLinks::No).opened());
        EXPECT_EQ(answersForSubfolders(asking), expected) << threads;
    }
}

}  // namespace
}  // namespace voidbroom
