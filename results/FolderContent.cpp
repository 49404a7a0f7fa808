#include "results/FolderContent.h"

#include <cstring>

#include "fs/FolderOpen.h"
#include "fs/FsError.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

constexpr std::string_view kFileLine = "   File: ";
constexpr std::string_view kFolderLine = "Folder: ";
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

void FolderContentLister::CollectFolderContent(const std::string& folderPath,
                                               std::string& ContentText,
                                               const ContentYield& yield) {
    // A lister kept for later listings must not hold folders open after a failure or an
    // early end: they are let go on every way out.
    struct ResetOnExit {
        FolderContentLister* lister;
        ~ResetOnExit() { lister->reset(); }
    } resetOnExit{this};
    OpenedFolder start = openFolderPath(folderPath, FollowLinks::No);
    if (start.status != OpenStatus::Opened) throw FsError(folderPath, describeOpenFailure(start));
    path_ = folderPath;
    enter(std::move(start.fd), ContentText, true);
    while (!frames_.empty()) {
        if (frames_.back().next == frames_.back().end)
            leave();
        else if (!listNext(ContentText, yield))
            return;
    }
}

// Each level reads its own next subfolder from its own frame before it yields, and uses only
// what it read after the yield: whatever a command run from the yield does (another listing,
// a scan), it cannot make this level go on with a different subfolder.
bool FolderContentLister::listNext(std::string& text, const ContentYield& yield) {
    Frame& frame = frames_.back();
    const std::size_t sub = frame.next++;
    const std::size_t pathLength = frame.pathLength;
    if (yield && !yield()) return false;
    name_.assign(pending_.name(sub));
    text += kFolderLine;
    text += name_;
    text += kLineEnd;
    path_.resize(pathLength);
    const int parentFd = stack_.top();
    if (parentFd < 0) throw FsError(path_, "it was moved away while its content was listed");
    appendChild(path_, name_);
    OpenedFolder child = openChildFolder(parentFd, name_.c_str());
    if (child.status == OpenStatus::OtherFileSystem) return true;  // listed, never entered
    if (child.status != OpenStatus::Opened) throw FsError(path_, describeOpenFailure(child));
    enter(std::move(child.fd), text, false);
    return true;
}

void FolderContentLister::enter(Fd fd, std::string& text, bool isStart) {
    const std::size_t first = pending_.size();
    const int error = reader_.forEach(fd.get(), [&](const DirEntry& entry) {
        if (entry.isFolder) {
            pending_.add(entry.name, entry.inode);
        } else {
            text += kFileLine;
            text += entry.name;
            text += kLineEnd;
        }
        return true;
    });
    if (error != 0) throw FsError(path_, std::strerror(error));
    if (pending_.size() == first) return;  // nothing to enter: the folder is done
    frames_.push_back(Frame{first, first, pending_.size(), path_.size()});
    if (isStart)
        stack_.start(std::move(fd));
    else
        stack_.push(std::move(fd), name_);
}

void FolderContentLister::leave() {
    pending_.truncate(frames_.back().first);
    frames_.pop_back();
    stack_.pop();
}

void FolderContentLister::reset() {
    frames_.clear();
    pending_.clear();
    stack_.clear();
}

}  // namespace voidbroom
