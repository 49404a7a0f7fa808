#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/FolderWalk.h"

namespace voidbroom {

// The only thing the program asks of a folder's total size: exactly 0, or not.
enum class SizeAnswer {
    Zero,
    NotZero,     // some file below holds at least one byte
    Unreadable,  // some part of the tree below cannot be read (a failed size read)
};

// Answers the total-size question for folders, reading only as far as needed: it stops at
// the first file of non-zero length or the first folder that cannot be read. Every folder it
// reads keeps its answer, so a walk that asks about a folder and later about each folder
// below it reads each folder once here, however deep the tree. A subfolder that is the mount
// point of another file system makes the size unreadable. Never follows links.
class ZeroSizeProbe {
public:
    ZeroSizeProbe();

    // The answer for the folder `name` (listed with `inode`) inside the open folder `parentFd`.
    SizeAnswer sizeOf(int parentFd, std::string_view name, ino_t inode);
    // The answer for subfolder `i` of the folder `walk` read last, and for the subfolder it
    // took last. Where `walk` reads ahead, the answer comes from what its readers read, which
    // the walk uses again when it enters those folders: each folder is opened once.
    SizeAnswer sizeOfSubfolder(FolderWalk& walk, std::size_t i);
    SizeAnswer sizeOfTaken(FolderWalk& walk);
    // The answer its subfolders give for the folder `walk` read last: the first that is not
    // zero-size. Where all are, the walk lists the folder without entering it, and their
    // answers are not kept.
    SizeAnswer sizeOfSubfolders(FolderWalk& walk);

    // The remembered answer for that folder, if it has one; the answer is forgotten, since a
    // walk visits each folder once.
    std::optional<SizeAnswer> takeKnown(std::string_view name, ino_t inode);

    // Folders that count as data and are never entered (see ListingOptions::keepOut).
    void keepOut(std::shared_ptr<const std::vector<ino_t>> folders) {
        walk_.options().keepOut = std::move(folders);
    }
    // What the asking walk knows of its file system: its end of a listing and the device its
    // folders have (see ListingOptions).
    void setFileSystem(const ListingOptions& of) {
        walk_.options().endMark = of.endMark;
        walk_.options().device = of.device;
    }

    // Reader threads for the questions it walks itself, engaged as a walk's are (see
    // FolderWalk::setThreads): below a folder the asking walk read without reading ahead.
    void setThreads(unsigned threads, std::chrono::nanoseconds engageAbove) {
        walk_.setThreads(threads, engageAbove);
    }

    // Forgets every remembered answer, for a walk that starts afresh.
    void forget() { known_.clear(); }

    std::size_t reads() const { return walk_.reads(); }
    std::size_t opens() const { return walk_.opens(); }
    std::size_t opensAhead() const { return walk_.opensAhead(); }
    // Folders whose answer came from what a read-ahead read.
    std::size_t looked() const { return looked_; }
    // The answers remembered and not yet taken.
    std::size_t held() const { return known_.size(); }

private:
    struct Key {
        ino_t inode;
        std::size_t nameHash;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return k.nameHash ^ (k.inode * 0x9e3779b97f4a7c15ULL);
        }
    };

    static Key keyOf(std::string_view name, ino_t inode);
    // sizeOf() within a question already being answered.
    SizeAnswer ask(int parentFd, std::string_view name, ino_t inode);
    // Remembers an answer found while the current question is answered, and returns it.
    SizeAnswer note(const Key& key, SizeAnswer answer);
    // A walk that asks never enters a folder found zero-size (it lists it instead), so the
    // answers noted below it, since `mark`, are forgotten: otherwise they would stay for the
    // rest of the walk, and make every visit look for its folder among them.
    void forgetBelow(std::size_t mark);
    // The answer the folder just read gives by itself; nullopt when its subfolders decide.
    std::optional<SizeAnswer> answerOfListing() const;
    // Asks about every folder below the open levels; the answer for the outermost.
    SizeAnswer descend();
    SizeAnswer failAll(SizeAnswer answer);
    // The answer for slot `i` of `group`, from the read-ahead's folders.
    SizeAnswer lookDown(ReadAhead& readAhead, const std::shared_ptr<ReadGroup>& group,
                        std::size_t i);
    // The answer a folder read ahead gives: from its listing, else from its subfolders.
    std::optional<SizeAnswer> answerOf(const ReadFolder& folder);
    struct Look {
        std::shared_ptr<ReadGroup> group;  // the subfolders of a folder being asked about
        std::size_t next;
        Key key;
        std::size_t mark;  // noted_.size() when it was opened
    };
    struct Level {
        Key key;
        std::size_t mark;  // noted_.size() when it was opened
    };

    std::unordered_map<Key, SizeAnswer, KeyHash> known_;
    FolderWalk walk_;
    std::vector<Level> levels_;  // each open level of walk_
    std::vector<Key> noted_;     // the answers found for the current question, in order
    std::vector<Look> looks_;
    std::size_t looked_ = 0;
};

}  // namespace voidbroom
