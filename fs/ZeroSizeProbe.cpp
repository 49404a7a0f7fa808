#include "fs/ZeroSizeProbe.h"

#include <functional>

namespace voidbroom {

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

std::optional<SizeAnswer> ZeroSizeProbe::answerOfListing(const FolderWalk& walk) {
    const FolderListing& listing = walk.listing();
    if (!listing.readable()) return SizeAnswer::Unreadable;
    if (listing.filesLength != FileLength::Zero) return sizeAnswerOf(listing.filesLength);
    if (walk.subfolderCount() == 0) return SizeAnswer::Zero;
    return std::nullopt;
}

SizeAnswer ZeroSizeProbe::note(const Key& key, SizeAnswer answer) {
    known_[key] = answer;
    noted_.push_back(key);
    return answer;
}

void ZeroSizeProbe::forgetBelow(std::size_t mark) {
    for (std::size_t i = mark; i < noted_.size(); ++i) known_.erase(noted_[i]);
    noted_.resize(mark);
}

SizeAnswer ZeroSizeProbe::sizeOfSubfolder(FolderWalk& walk, std::size_t i) {
    noted_.clear();
    walk.lookAtSubfolder(i);
    const SizeAnswer answer = lookDown(walk);
    walk.endLook();
    return answer;
}

SizeAnswer ZeroSizeProbe::sizeOfSubfolders(FolderWalk& walk) {
    noted_.clear();
    walk.lookBelowCurrent();
    const SizeAnswer answer = lookDown(walk);
    walk.endLook();
    if (answer == SizeAnswer::Zero) forgetBelow(0);
    return answer;
}

SizeAnswer ZeroSizeProbe::sizeOfCurrent(FolderWalk& walk) {
    if (const auto answer = answerOfListing(walk)) return *answer;
    return sizeOfSubfolders(walk);
}

SizeAnswer ZeroSizeProbe::sizeOfTaken(FolderWalk& walk) {
    noted_.clear();
    walk.lookAtTaken();
    const SizeAnswer answer = lookDown(walk);
    walk.endLook();
    return answer;
}

SizeAnswer ZeroSizeProbe::lookDown(FolderWalk& walk) {
    levels_.clear();
    for (;;) {
        if (!walk.take()) {
            if (levels_.empty()) return SizeAnswer::Zero;  // the first level, walked
            forgetBelow(levels_.back().mark);
            note(levels_.back().key, SizeAnswer::Zero);
            levels_.pop_back();
            walk.leave();
            continue;
        }
        const Key key = keyOf(walk.takenName(), walk.takenInode());
        std::optional<SizeAnswer> answer;
        if (auto it = known_.find(key); it != known_.end())
            answer = it->second;
        else if (!walk.enter().opened())
            answer = note(key, SizeAnswer::Unreadable);
        else if ((answer = answerOfListing(walk)))
            note(key, *answer);
        if (!answer) {
            levels_.push_back(Level{key, noted_.size()});
            walk.descend();
        } else if (*answer != SizeAnswer::Zero) {
            return failAll(*answer);
        }
    }
}

SizeAnswer ZeroSizeProbe::failAll(SizeAnswer answer) {
    for (const Level& level : levels_) note(level.key, answer);
    levels_.clear();
    return answer;
}

}  // namespace voidbroom
