// Deletes FOLDER as the Delete selected command deletes the folder of an entry marked for
// having no files of its own:
//   voidbroom-delete-bench FOLDER
// For timing against rm -rf on copies of the same tree.

#include <cstdio>

#include "fs/FileSystemObject.h"
#include "fs/FolderOpen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: voidbroom-delete-bench FOLDER\n");
        return 2;
    }
    using namespace voidbroom;
    OpenedFolder folder = openFolderPath(argv[1], FollowLinks::No);
    if (folder.status != OpenStatus::Opened) {
        std::fprintf(stderr, "voidbroom-delete-bench: %s: %s\n", argv[1],
                     describeOpenFailure(folder).c_str());
        return 2;
    }
    DeleteCheck check;
    check.folder = identityOf(folder.fd.get());
    check.rule = DeleteRule::Everything;
    folder.fd.reset();
    try {
        FileSystemObject(FileSystemOptions{}).DeleteFolder(argv[1], true, check);
    } catch (const FsError& error) {
        std::fprintf(stderr, "voidbroom-delete-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
