#include "fs/ZeroSizeProbe.h"

#include <functional>

namespace voidbroom {
namespace {
SizeAnswer sizeAnswerOf(FileLength length) {
    return length == FileLength::NotZero ? SizeAnswer::NotZero : SizeAnswer::Unreadable;
}
}  // namespace

ZeroSizeProbe::ZeroSizeProbe() : walk_(ListingOptions{.fileLengths = true, .stopAtData = true}) {}

ZeroSizeProbe::Key ZeroSizeProbe::keyOf(std::string_view name, ino_t inode) {
    return Key{inode, std::hash<std::string_view>{}(name)};
}

std::optional<SizeAnswer> ZeroSizeProbe::takeKnown(std::string_view name, ino_t inode) {
    if (known_.empty()) return std::nullopt;
    auto it = known_.find(keyOf(name, inode));
    if (it == known_.end()) return std::nullopt;
    SizeAnswer answer = it->second;
    known_.erase(it);
    return answer;
}

std::optional<SizeAnswer> ZeroSizeProbe::answerOfListing() const {
    const FolderListing& listing = walk_.listing();
    if (!listing.readable()) return SizeAnswer::Unreadable;
    if (listing.filesLength != FileLength::Zero) return sizeAnswerOf(listing.filesLength);
    if (walk_.subfolderCount() == 0) return SizeAnswer::Zero;
    return std::nullopt;
}

SizeAnswer ZeroSizeProbe::sizeOf(int parentFd, std::string_view name, ino_t inode) {
    const Key key = keyOf(name, inode);
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    SizeAnswer answer = SizeAnswer::Unreadable;
    if (walk_.startAt(parentFd, name, std::string(name)).opened()) {
        if (const auto known = answerOfListing()) {
            answer = *known;
        } else {
            levels_.assign(1, key);
            walk_.descend();
            answer = descend();
        }
    }
    known_[key] = answer;
    walk_.clear();
    return answer;
}

SizeAnswer ZeroSizeProbe::descend() {
    while (!walk_.done()) {
        if (!walk_.take()) {
            known_[levels_.back()] = SizeAnswer::Zero;
            levels_.pop_back();
            walk_.leave();
            continue;
        }
        const Key key = keyOf(walk_.takenName(), walk_.takenInode());
        std::optional<SizeAnswer> answer;
        if (auto it = known_.find(key); it != known_.end())
            answer = it->second;
        else if (walk_.levelFd() < 0)  // moved away meanwhile: nothing below can be asked
            answer = SizeAnswer::Unreadable;
        else if (!walk_.enter().opened())
            answer = known_[key] = SizeAnswer::Unreadable;
        else if ((answer = answerOfListing()))
            known_[key] = *answer;
        if (!answer) {
            levels_.push_back(key);
            walk_.descend();
        } else if (*answer != SizeAnswer::Zero) {
            return failAll(*answer);
        }
    }
    return SizeAnswer::Zero;
}

// Everything still open contains the folder that answered `answer`, so it answers the same.
SizeAnswer ZeroSizeProbe::failAll(SizeAnswer answer) {
    for (const Key& key : levels_) known_[key] = answer;
    levels_.clear();
    return answer;
}

}  // namespace voidbroom
