#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/FolderWalk.h"
#include "fs/NameList.h"

namespace voidbroom {

// The only thing the program asks of a folder's total size: exactly 0, or not.
enum class SizeAnswer {
    Zero,
    NotZero,     // some file below holds at least one byte
    Unreadable,  // some part of the tree below cannot be read (a failed size read)
};

// The answer that the files of one folder give by themselves.
inline SizeAnswer sizeAnswerOf(FileLength length) {
    switch (length) {
        case FileLength::Zero:
            return SizeAnswer::Zero;
        case FileLength::NotZero:
            return SizeAnswer::NotZero;
        case FileLength::Unreadable:
        case FileLength::Unasked:  // never taken for an answer: see ZeroSizeProbe
            break;
    }
    return SizeAnswer::Unreadable;
}

// Answers the total-size question for folders a walk has read but not entered, reading only
// as far as needed: it stops at the first file of non-zero length or the first folder that
// cannot be read. It asks the walk itself for the folders below (FolderWalk's looks), so a
// question runs on the walk's stack, readers and descriptor budget, and what readers read for
// it serves the walk when it enters those folders. Every folder it reads keeps its answer, so
// a walk that asks about a folder and later about each folder below it has each folder read
// once here, however deep the tree. A subfolder that is the mount point of another file
// system makes the size unreadable. Never follows links. A folder whose files' lengths were
// left unasked (FileLength::Unasked) is answered by its subfolders first, and by its files
// only when every subfolder is zero-size.
class ZeroSizeProbe {
public:
    // An answer with the newest modification time found below the folder (FolderListing's
    // newest, where the walk reads times; 0 otherwise), which matters only for Zero.
    struct Known {
        SizeAnswer answer;
        std::int64_t newest;
    };

    // The answer for subfolder `i` of the folder `walk` read last.
    SizeAnswer sizeOfSubfolder(FolderWalk& walk, std::size_t i);
    // The answer its subfolders give for the folder `walk` read last: the first that is not
    // zero-size; where all are, and its files' lengths were left unasked, what they give. A
    // zero-size folder the walk lists without entering it, and the answers below are not
    // kept, unless the newest time found below is `keepFrom` or later (the walk enters a
    // folder too recent to list). `newest`, when given, receives that time.
    SizeAnswer sizeOfSubfolders(FolderWalk& walk, std::int64_t* newest = nullptr,
                                std::int64_t keepFrom = kNeverRead);
    // The answer for the folder `walk` read last, its files included: `walk` must have read
    // their lengths (ListingOptions::fileLengths).
    SizeAnswer sizeOfCurrent(FolderWalk& walk);
    // The answer for the subfolder `walk` took last and has not entered.
    SizeAnswer sizeOfTaken(FolderWalk& walk);

    // The remembered answer for that folder, if it has one; the answer is forgotten, since a
    // walk visits each folder once.
    std::optional<Known> takeKnown(std::string_view name, ino_t inode);

    // Forgets every remembered answer, for a walk that starts afresh.
    void forget() { known_.clear(); }
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
    struct Level {
        Key key;
        std::size_t mark;     // noted_.size() when it was opened
        std::int64_t newest;  // of what was read below it so far
        NameList unasked;     // its files, where their lengths were left unasked
    };

    static Key keyOf(std::string_view name, ino_t inode);
    // Walks the look `walk` was just given: Zero when every folder of its first level is.
    SizeAnswer lookDown(FolderWalk& walk);
    // Remembers an answer found while the current question is answered, and returns it.
    SizeAnswer note(const Key& key, SizeAnswer answer, std::int64_t newest = 0);
    // Takes a time found below into the innermost open level, or into the question's answer.
    void addNewest(std::int64_t time);
    // A walk that asks never enters a folder found zero-size (it lists it instead), so the
    // answers noted below it, since `mark`, are forgotten: otherwise they would stay for the
    // rest of the walk, and make every visit look for its folder among them.
    void forgetBelow(std::size_t mark);
    // The answer the folder `walk` read last gives by itself; nullopt when its subfolders
    // decide, or decide first.
    static std::optional<SizeAnswer> answerOfListing(const FolderWalk& walk);
    // What the files `names` of the open folder `fd`, left unasked, answer.
    static SizeAnswer sizeOfUnasked(const FolderWalk& walk, int fd, const NameList& names);
    // Everything still open contains the folder that answered `answer`: so it answers too.
    SizeAnswer failAll(SizeAnswer answer);

    std::unordered_map<Key, Known, KeyHash> known_;
    std::int64_t newest_ = 0;    // below the folder the current question is about
    std::vector<Level> levels_;  // the look's open levels above its first
    std::vector<Key> noted_;     // the answers found for the current question, in order
};

}  // namespace voidbroom
