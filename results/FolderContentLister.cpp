#include "results/FolderContentLister.h"

#include <cstring>

#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

constexpr std::string_view kFileLine = "   File: ";
constexpr std::string_view kFolderLine = "Folder: ";
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

FolderContentLister::FolderContentLister(unsigned threads, std::chrono::nanoseconds engageAbove)
    : walk_(ListingOptions{.fileNames = true}) {
    walk_.setThreads(threads, engageAbove);
}

// Each level takes its next subfolder from the engine before it yields, and uses only what
// it took after the yield: whatever a command run from the yield does (another listing, a
// scan), it cannot make this listing go on with a different subfolder.
void FolderContentLister::CollectFolderContent(const std::string& folderPath,
                                               std::string& ContentText,
                                               const ContentYield& yield) {
    // A lister kept for later listings must not hold folders open after a failure or an
    // early end: they are let go on every way out.
    struct ClearOnExit {
        FolderWalk& walk;
        ~ClearOnExit() { walk.clear(); }
    } clearOnExit{walk_};
    const OpenOutcome start = walk_.start(folderPath, FollowLinks::No);
    if (!start.opened()) throw FsError(folderPath, describeOpenFailure(start));
    listFolder(ContentText);
    while (!walk_.done()) {
        if (!walk_.take()) {
            walk_.leave();
            continue;
        }
        if (yield && !yield()) return;
        ContentText += kFolderLine;
        ContentText += walk_.takenName();
        ContentText += kLineEnd;
        if (walk_.levelFd() < 0)
            throw FsError(parentPathOf(walk_.path()),
                          "it was moved away while its content was listed");
        const OpenOutcome child = walk_.enter();
        if (child.status == OpenStatus::OtherFileSystem) continue;  // listed, never entered
        if (!child.opened()) throw FsError(walk_.path(), describeOpenFailure(child));
        listFolder(ContentText);
    }
}

void FolderContentLister::listFolder(std::string& text) {
    const FolderListing& listing = walk_.listing();
    for (std::size_t i = 0; i < listing.fileNames.size(); ++i) {
        text += kFileLine;
        text += listing.fileNames.name(i);
        text += kLineEnd;
    }
    if (!listing.readable()) throw FsError(walk_.path(), std::strerror(listing.error));
    if (walk_.subfolderCount() > 0) walk_.descend();
}

}  // namespace voidbroom
