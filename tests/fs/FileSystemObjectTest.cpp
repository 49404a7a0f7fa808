#include "fs/FileSystemObject.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/TempTree.h"

namespace voidbroom {
namespace {

template <class Item>
std::vector<std::string> sortedNames(const std::vector<Item>& items) {
    std::vector<std::string> names;
    for (const Item& item : items) names.push_back(item.Name());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileSystemObject, FolderExistsOnlyForARealFolder) {
    test::TempTree tree({"A/", "f:0", "toA -> A", "dangling -> nowhere", "pipe|"});
    const FileSystemObject fso;
    EXPECT_TRUE(fso.FolderExists(tree.path("A")));
    EXPECT_TRUE(fso.FolderExists(tree.rootPath()));
    for (const char* name : {"f", "toA", "dangling", "pipe", "missing", "toA/x"})
        EXPECT_FALSE(fso.FolderExists(tree.path(name))) << name;
}

TEST(FileSystemObject, GetFolderOfWhatIsNotAFolderThrowsNamingThePath) {
    test::TempTree tree({"A/", "toA -> A"});
    const FileSystemObject fso;
    EXPECT_EQ(fso.GetFolder(tree.path("A")).Path(), tree.path("A"));
    for (const char* name : {"missing", "toA"}) {
        try {
            fso.GetFolder(tree.path(name));
            ADD_FAILURE() << name << ": no error";
        } catch (const FsError& error) {
            EXPECT_EQ(error.path(), tree.path(name));
            EXPECT_NE(std::string(error.what()).find(tree.path(name)), std::string::npos);
        }
    }
}

// Links, FIFOs and hidden names are files; only real folders are subfolders, with their paths.
TEST(FileSystemObject, FilesAndSubFoldersHoldEveryEntryByKind) {
    test::TempTree tree({"A/.hidden:0", "A/f:1", "A/toB -> B", "A/pipe|", "A/B/", "A/.C/"});
    const Folder folder = FileSystemObject().GetFolder(tree.path("A"));
    EXPECT_EQ(sortedNames(folder.Files()),
              (std::vector<std::string>{".hidden", "f", "pipe", "toB"}));
    const auto subfolders = folder.SubFolders();
    EXPECT_EQ(sortedNames(subfolders), (std::vector<std::string>{".C", "B"}));
    for (const Folder& sub : subfolders) EXPECT_EQ(sub.Path(), tree.path("A/" + sub.Name()));
}

TEST(FileSystemObject, SizeTellsZeroFromNotZero) {
    test::TempTree tree({"zero/a/b/", "zero/a/f:0", "zero/pipe|", "deep/a/b/c/f:1", "link/l -> x"});
    const FileSystemObject fso;
    EXPECT_EQ(fso.GetFolder(tree.path("zero")).Size(), SizeAnswer::Zero);
    EXPECT_EQ(fso.GetFolder(tree.path("deep")).Size(), SizeAnswer::NotZero);
    EXPECT_EQ(fso.GetFolder(tree.path("link")).Size(), SizeAnswer::NotZero);
}

// Seen by "nobody", a folder that cannot be opened makes the size of what holds it unreadable.
TEST(FileSystemObject, SizeOfATreeWithAnUnreadableFolderIsUnreadable) {
    test::TempTree tree({"A/locked/"});
    ASSERT_EQ(chmod(tree.path("A/locked").c_str(), 0), 0);
    const Folder folder = FileSystemObject().GetFolder(tree.path("A"));
    EXPECT_EQ(
        test::runUnprivileged([&] { return folder.Size() == SizeAnswer::Unreadable ? 0 : 1; }), 0);
}

TEST(FileSystemObject, ARootFolderPathEndsInOneSlashAndItsDriveMustStillBeMounted) {
    test::TempTree tree({"plain/"});
    const FileSystemObject fso;
    EXPECT_EQ(fso.GetDrive("/").RootFolder().Path(), "/");
    EXPECT_THROW(fso.GetDrive(tree.path("missing")).RootFolder(), FsError);
    // An unmounted drive leaves a plain folder behind, which is not the drive.
    EXPECT_THROW(fso.GetDrive(tree.path("plain")).RootFolder(), FsError);
    const FileSystemObject anyFolder(FileSystemOptions{"/proc/self/mountinfo", false});
    EXPECT_EQ(anyFolder.GetDrive(tree.root()).RootFolder().Path(), tree.rootPath());
    EXPECT_EQ(anyFolder.GetDrive(tree.root() + "//").RootFolder().Path(), tree.rootPath());
}

}  // namespace
}  // namespace voidbroom
