#include "fs/ZeroSizeProbe.h"

#include <fcntl.h>

#include <functional>

#include "fs/FolderOpen.h"

namespace voidbroom {

ZeroSizeProbe::ZeroSizeProbe() = default;

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

SizeAnswer ZeroSizeProbe::sizeOfOpenFolder(int fd) {
    // A description of its own, so that reading does not move the caller's position.
    Fd self(openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!self) return SizeAnswer::Unreadable;
    stack_.start(std::move(self));
    SizeAnswer answer;
    if (read(stack_.top(), keyOf({}, 0), answer) == Step::Pending) answer = descend();
    stack_.clear();
    return answer;
}

SizeAnswer ZeroSizeProbe::sizeOf(int parentFd, std::string_view name, ino_t inode) {
    const Key key = keyOf(name, inode);
    if (auto it = known_.find(key); it != known_.end()) return it->second;
    stack_.startBorrowed(parentFd);
    SizeAnswer answer;
    name_.assign(name);
    if (enter(name_, key, answer) == Step::Pending) answer = descend();
    stack_.clear();
    return answer;
}

ZeroSizeProbe::Step ZeroSizeProbe::enter(const std::string& name, Key key, SizeAnswer& answer) {
    ++opens_;
    OpenedFolder folder = openChildFolder(stack_.top(), name.c_str());
    if (folder.status != OpenStatus::Opened) {
        answer = known_[key] = SizeAnswer::Unreadable;
        return Step::Done;
    }
    const Step step = read(folder.fd.get(), key, answer);
    if (step == Step::Pending) stack_.push(std::move(folder.fd), name);
    return step;
}

ZeroSizeProbe::Step ZeroSizeProbe::read(int fd, Key key, SizeAnswer& answer) {
    const std::size_t firstSub = pending_.size();
    answer = SizeAnswer::Zero;
    const int error = reader_.forEach(fd, [&](const DirEntry& entry) {
        if (entry.isFolder) {
            pending_.add(entry.name, entry.inode);
            return true;
        }
        const FileLength length = DirReader::lengthOf(fd, entry.name.data());
        if (length == FileLength::Zero) return true;
        answer = length == FileLength::NotZero ? SizeAnswer::NotZero : SizeAnswer::Unreadable;
        return false;
    });
    if (error != 0) answer = SizeAnswer::Unreadable;
    if (answer != SizeAnswer::Zero || pending_.size() == firstSub) {
        pending_.truncate(firstSub);
        known_[key] = answer;
        return Step::Done;
    }
    frames_.push_back(Frame{key, firstSub, firstSub, pending_.size()});
    return Step::Pending;
}

SizeAnswer ZeroSizeProbe::descend() {
    while (!frames_.empty()) {
        Frame& frame = frames_.back();
        if (frame.next == frame.end) {
            known_[frame.key] = SizeAnswer::Zero;
            pending_.truncate(frame.first);
            frames_.pop_back();
            stack_.pop();
            continue;
        }
        const std::size_t sub = frame.next++;
        name_.assign(pending_.name(sub));
        const Key key = keyOf(name_, pending_.inode(sub));
        SizeAnswer answer;
        if (auto it = known_.find(key); it != known_.end()) {
            answer = it->second;
        } else if (stack_.top() < 0) {
            answer = SizeAnswer::Unreadable;
        } else if (enter(name_, key, answer) == Step::Pending) {
            continue;
        }
        if (answer != SizeAnswer::Zero) return failAll(answer);
    }
    return SizeAnswer::Zero;
}

// Everything still open contains the folder that answered `answer`, so it answers the same.
SizeAnswer ZeroSizeProbe::failAll(SizeAnswer answer) {
    for (const Frame& frame : frames_) known_[frame.key] = answer;
    frames_.clear();
    pending_.clear();
    return answer;
}

}  // namespace voidbroom
