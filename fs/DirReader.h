#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace voidbroom {

// One entry of a folder listing. `name` points into the reader's buffer, is NUL-terminated
// and stays valid only until the callback returns.
struct DirEntry {
    std::string_view name;
    ino_t inode = 0;
    bool isFolder = false;  // a real folder; links, FIFOs, sockets and devices are files
};

// What a file directly in a folder contributes to the question "is the total size 0?".
// Unasked: the files' lengths were left for later, where the folder's subfolders may answer
// the question first (ListingOptions::subfoldersFirst).
enum class FileLength { Zero, NotZero, Unreadable, Unasked };

inline constexpr std::int64_t kNoEndMark = 0;

// The offset that the file system of the folder open at `fd` gives the last entry of a
// listing read to its end, or kNoEndMark. ext2, ext3 and ext4 give their end-of-listing
// position, which no entry has before the end; other file systems mark nothing that could be
// told from an entry's offset (a network file system's are the server's), and a short batch
// proves nothing: a listing may be cut short by an error in its next block.
std::int64_t listingEndMarkOf(int fd);
// The same for a file system of type `fsType` (statfs's f_type).
std::int64_t listingEndMarkOfType(unsigned long fsType);

// Reads folder listings with getdents64 into one reusable buffer: each folder costs its
// open descriptor plus as few system calls as its size allows. Not copyable; one per walker.
class DirReader {
public:
    DirReader();
    ~DirReader();
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    // Calls `visit(const DirEntry&)` for every entry of the folder open at `fd` but "." and
    // "..", in the order of the file system. `visit` returns false to stop early. Returns 0
    // when the listing was read to its end or stopped, else the errno of the failure.
    // `endMark` is the folder's file system's (listingEndMarkOf): a batch whose last entry
    // carries it is the last, and the call that would only report the end is not made.
    template <class Visit>
    int forEach(int fd, Visit&& visit, std::int64_t endMark = kNoEndMark);

    // Whether the non-folder `name` in folder `fd` has length 0 (links count with their own
    // length and are never followed). `fromLookup` takes the length that looking the name up
    // brought, without asking the file system again (ListingOptions::lengthsFromLookup).
    static FileLength lengthOf(int fd, const char* name, bool fromLookup = false);

    // getdents64 calls made so far, for the benchmark's figures.
    std::size_t reads() const { return reads_; }

private:
    // Fills the buffer with the next batch; returns bytes read, 0 at the end, -errno on failure.
    long readBatch(int fd);
    // Resolves an entry whose type the file system did not report; 0 or the errno.
    static int resolveUnknown(int fd, DirEntry& entry);

    std::unique_ptr<char[]> buffer_;
    std::size_t reads_ = 0;
};

}  // namespace voidbroom

#include "fs/DirReader.inl"
