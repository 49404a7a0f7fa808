#include "fs/ZeroSizeProbe.h"

#include <algorithm>
#include <functional>

namespace voidbroom {

ZeroSizeProbe::Key ZeroSizeProbe::keyOf(std::string_view name, ino_t inode) {
    return Key{inode, std::hash<std::string_view>{}(name)};
}

std::optional<ZeroSizeProbe::Known> ZeroSizeProbe::takeKnown(std::string_view name, ino_t inode) {
    if (known_.empty()) return std::nullopt;
    auto it = known_.find(keyOf(name, inode));
    if (it == known_.end()) return std::nullopt;
    const Known answer = it->second;
    known_.erase(it);
    return answer;
}

std::optional<SizeAnswer> ZeroSizeProbe::answerOfListing(const FolderWalk& walk) {
    const FolderListing& listing = walk.listing();
    if (!listing.readable()) return SizeAnswer::Unreadable;
    if (listing.filesLength == FileLength::Unasked) return std::nullopt;  // it has subfolders
    if (listing.filesLength != FileLength::Zero) return sizeAnswerOf(listing.filesLength);
    if (walk.subfolderCount() == 0) return SizeAnswer::Zero;
    return std::nullopt;
}

SizeAnswer ZeroSizeProbe::sizeOfUnasked(const FolderWalk& walk, int fd, const NameList& names) {
    return sizeAnswerOf(lengthOfFiles(fd, names, walk.options().lengthsFromLookup));
}

SizeAnswer ZeroSizeProbe::note(const Key& key, SizeAnswer answer, std::int64_t newest) {
    known_[key] = Known{answer, newest};
    noted_.push_back(key);
    return answer;
}

void ZeroSizeProbe::addNewest(std::int64_t time) {
    std::int64_t& newest = levels_.empty() ? newest_ : levels_.back().newest;
    newest = std::max(newest, time);
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

SizeAnswer ZeroSizeProbe::sizeOfSubfolders(FolderWalk& walk, std::int64_t* newest,
                                           std::int64_t keepFrom) {
    noted_.clear();
    walk.lookBelowCurrent();
    SizeAnswer answer = lookDown(walk);
    walk.endLook();
    if (answer == SizeAnswer::Zero && walk.listing().filesLength == FileLength::Unasked)
        answer = sizeOfUnasked(walk, walk.folderFd(), walk.listing().fileNames);
    if (answer == SizeAnswer::Zero && newest_ < keepFrom) forgetBelow(0);
    if (newest) *newest = newest_;
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
    newest_ = 0;
    for (;;) {
        if (!walk.take()) {
            if (levels_.empty()) return SizeAnswer::Zero;  // the first level, walked
            // Its subfolders all zero-size: its own files answer, where they were left.
            if (!levels_.back().unasked.empty()) {
                const SizeAnswer files =
                    sizeOfUnasked(walk, walk.levelFd(), levels_.back().unasked);
                if (files != SizeAnswer::Zero) return failAll(files);
            }
            const Level done = std::move(levels_.back());
            forgetBelow(done.mark);
            note(done.key, SizeAnswer::Zero, done.newest);
            levels_.pop_back();
            addNewest(done.newest);
            walk.leave();
            continue;
        }
        const Key key = keyOf(walk.takenName(), walk.takenInode());
        std::optional<SizeAnswer> answer;
        if (auto it = known_.find(key); it != known_.end()) {
            answer = it->second.answer;
            addNewest(it->second.newest);
        } else if (!walk.enter().opened()) {
            answer = note(key, SizeAnswer::Unreadable, kNeverRead);
        } else if ((answer = answerOfListing(walk))) {
            note(key, *answer, walk.listing().newest);
            addNewest(walk.listing().newest);
        }
        if (!answer) {
            levels_.push_back(Level{key, noted_.size(), walk.listing().newest, {}});
            if (walk.listing().filesLength == FileLength::Unasked)
                levels_.back().unasked = walk.listing().fileNames;
            walk.descend();
        } else if (*answer != SizeAnswer::Zero) {
            return failAll(*answer);
        }
    }
}

SizeAnswer ZeroSizeProbe::failAll(SizeAnswer answer) {
    for (const Level& level : levels_) note(level.key, answer, kNeverRead);
    levels_.clear();
    return answer;
}

}  // namespace voidbroom
