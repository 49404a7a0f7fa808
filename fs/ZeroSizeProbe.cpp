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
    noted_.clear();
    return ask(parentFd, name, inode);
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

SizeAnswer ZeroSizeProbe::ask(int parentFd, std::string_view name, ino_t inode) {
    const Key key = keyOf(name, inode);
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    SizeAnswer answer = SizeAnswer::Unreadable;
    if (walk_.startAt(parentFd, name, std::string(name)).opened()) {
        if (const auto known = answerOfListing()) {
            answer = *known;
        } else {
            levels_.assign(1, Level{key, noted_.size()});
            walk_.descend();
            answer = descend();
        }
    }
    note(key, answer);
    walk_.clear();
    return answer;
}

SizeAnswer ZeroSizeProbe::descend() {
    while (!walk_.done()) {
        if (!walk_.take()) {
            forgetBelow(levels_.back().mark);
            note(levels_.back().key, SizeAnswer::Zero);
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
            answer = note(key, SizeAnswer::Unreadable);
        else if ((answer = answerOfListing()))
            note(key, *answer);
        if (!answer) {
            levels_.push_back(Level{key, noted_.size()});
            walk_.descend();
        } else if (*answer != SizeAnswer::Zero) {
            return failAll(*answer);
        }
    }
    return SizeAnswer::Zero;
}

SizeAnswer ZeroSizeProbe::sizeOfSubfolder(FolderWalk& walk, std::size_t i) {
    if (walk.readAhead())
        if (const std::shared_ptr<ReadGroup> group = walk.currentGroup())
            return lookDown(*walk.readAhead(), group, i);
    return sizeOf(walk.folderFd(), walk.subfolderName(i), walk.subfolderInode(i));
}

SizeAnswer ZeroSizeProbe::sizeOfSubfolders(FolderWalk& walk) {
    const std::size_t count = walk.subfolderCount();
    for (std::size_t i = 0; i < count; ++i)
        if (const SizeAnswer answer = sizeOfSubfolder(walk, i); answer != SizeAnswer::Zero)
            return answer;
    for (std::size_t i = 0; i < count; ++i)
        known_.erase(keyOf(walk.subfolderName(i), walk.subfolderInode(i)));
    return SizeAnswer::Zero;
}

SizeAnswer ZeroSizeProbe::sizeOfTaken(FolderWalk& walk) {
    if (walk.levelGroup()) return lookDown(*walk.readAhead(), walk.levelGroup(), walk.takenSlot());
    if (walk.levelFd() < 0) return SizeAnswer::Unreadable;
    return sizeOf(walk.levelFd(), walk.takenName(), walk.takenInode());
}

std::optional<SizeAnswer> ZeroSizeProbe::answerOf(const ReadFolder& folder) {
    ++looked_;
    if (!folder.outcome.opened() || !folder.listing.readable()) return SizeAnswer::Unreadable;
    if (folder.listing.filesLength != FileLength::Zero)
        return sizeAnswerOf(folder.listing.filesLength);
    if (folder.subfolders.empty()) return SizeAnswer::Zero;
    if (folder.group) return std::nullopt;
    // Not read ahead below (no room for it): asked about here, from its own descriptor.
    const std::size_t mark = noted_.size();
    for (std::size_t i = 0; i < folder.subfolders.size(); ++i) {
        const SizeAnswer answer =
            ask(folder.fd.get(), folder.subfolders.name(i), folder.subfolders.inode(i));
        if (answer != SizeAnswer::Zero) return answer;
    }
    forgetBelow(mark);
    return SizeAnswer::Zero;
}

// The walk of descend(), over folders the read-ahead holds. A folder found zero-size is not
// descended into by the walk that asked, so what was read below it is let go at once.
SizeAnswer ZeroSizeProbe::lookDown(ReadAhead& readAhead, const std::shared_ptr<ReadGroup>& group,
                                   std::size_t i) {
    const Key key = keyOf(group->names.name(i), group->names.inode(i));
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    looks_.clear();
    noted_.clear();  // a question of its own, like sizeOf()
    const ReadFolder& first = readAhead.look(*group, i);
    if (const auto answer = answerOf(first)) return note(key, *answer);
    looks_.push_back(Look{first.group, 0, key, noted_.size()});
    while (!looks_.empty()) {
        Look& look = looks_.back();
        if (look.next == look.group->items.size()) {
            forgetBelow(look.mark);
            note(look.key, SizeAnswer::Zero);
            readAhead.cancel(look.group);
            looks_.pop_back();
            continue;
        }
        const std::size_t j = look.next++;
        const Key childKey = keyOf(look.group->names.name(j), look.group->names.inode(j));
        std::optional<SizeAnswer> answer;
        if (auto it = known_.find(childKey); it != known_.end()) {
            answer = it->second;
        } else {
            const ReadFolder& folder = readAhead.look(*look.group, j);
            if (!(answer = answerOf(folder))) {
                looks_.push_back(Look{folder.group, 0, childKey, noted_.size()});
                continue;
            }
            note(childKey, *answer);
        }
        if (*answer != SizeAnswer::Zero) {
            for (const Look& open : looks_) note(open.key, *answer);
            looks_.clear();
            return *answer;
        }
    }
    return SizeAnswer::Zero;
}

// Everything still open contains the folder that answered `answer`, so it answers the same.
SizeAnswer ZeroSizeProbe::failAll(SizeAnswer answer) {
    for (const Level& level : levels_) note(level.key, answer);
    levels_.clear();
    return answer;
}

}  // namespace voidbroom
