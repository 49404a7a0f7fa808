#include "Mirror.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace latencyfs {

std::string Counters::line() const {
    static constexpr const char* kNames[kKindCount] = {"lookup",  "getattr", "opendir",
                                                       "readdir", "open",    "other"};
    std::string text;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < kKindCount; ++i) {
        const std::uint64_t count = counts_[i].load();
        total += count;
        text += std::string(kNames[i]) + "=" + std::to_string(count) + " ";
    }
    return text + "total=" + std::to_string(total);
}

int readListing(int fd, Listing& listing) {
    const int folderFd = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) return errno;
    DIR* folder = fdopendir(folderFd);
    if (folder == nullptr) {
        const int error = errno;
        close(folderFd);
        return error;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder);
        if (entry == nullptr) {
            error = errno;
            break;
        }
        listing.push_back(Entry{entry->d_name, entry->d_ino, entry->d_type});
    }
    closedir(folder);
    return error;
}

namespace {

Mirror& mirrorOf(fuse_req_t req) {
    return *static_cast<Mirror*>(fuse_req_userdata(req));
}

// Counts the request and, for the kinds a slow share makes slow, waits before it is answered.
Mirror& begin(fuse_req_t req, Kind kind) {
    Mirror& mirror = mirrorOf(req);
    mirror.counters.add(kind);
    if (kind != Kind::Other && mirror.delay.count() > 0) std::this_thread::sleep_for(mirror.delay);
    return mirror;
}

// Calls attempt, which returns 0 or an errno, again while it fails only for want of
// descriptors, for two seconds at most: they run out only until the trimmer has had the
// kernel forget unused nodes.
template <typename Attempt>
int retryForDescriptors(Attempt attempt) {
    for (int round = 1;; ++round) {
        const int error = attempt();
        if ((error != EMFILE && error != ENFILE) || round == 200) return error;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int statOf(int fd, struct stat& st) {
    return fstatat(fd, "", &st, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

void refuse(fuse_req_t req) {
    begin(req, Kind::Other);
    fuse_reply_err(req, EROFS);
}

void onInit(void*, fuse_conn_info* conn) {
    // Without readdirplus every entry of a listing costs the kernel a lookup of its own, as
    // it does over a share that lists names only; and nothing the kernel could cache is
    // offered: no symlink cache, no writeback.
    conn->want &= ~(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO | FUSE_CAP_CACHE_SYMLINKS |
                    FUSE_CAP_WRITEBACK_CACHE);
    if (conn->capable & FUSE_CAP_PARALLEL_DIROPS) conn->want |= FUSE_CAP_PARALLEL_DIROPS;
}

void onLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    Mirror& mirror = begin(req, Kind::Lookup);
    const int parentFd = mirror.nodes.node(parent).fd;
    int fd = -1;
    const int openError = retryForDescriptors([&] {
        fd = openat(parentFd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
        return fd < 0 ? errno : 0;
    });
    if (openError != 0) {
        // An error, not a negative entry: the kernel keeps no negative dentry for it.
        fuse_reply_err(req, openError);
        return;
    }
    fuse_entry_param entry{};  // entry and attribute timeouts 0: the kernel caches nothing
    if (const int error = statOf(fd, entry.attr)) {
        close(fd);
        fuse_reply_err(req, error);
        return;
    }
    entry.ino = mirror.nodes.remember(fd, entry.attr, parent, name);
    if (fuse_reply_entry(req, &entry) != 0) mirror.nodes.forget(entry.ino, 1);
}

void onForget(fuse_req_t req, fuse_ino_t ino, std::uint64_t count) {
    mirrorOf(req).nodes.forget(ino, count);
    fuse_reply_none(req);
}

void onForgetMulti(fuse_req_t req, size_t count, fuse_forget_data* forgets) {
    Mirror& mirror = mirrorOf(req);
    for (size_t i = 0; i < count; ++i) mirror.nodes.forget(forgets[i].ino, forgets[i].nlookup);
    fuse_reply_none(req);
}

void onGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    Mirror& mirror = begin(req, Kind::Getattr);
    struct stat st {};
    if (const int error = statOf(mirror.nodes.node(ino).fd, st)) {
        fuse_reply_err(req, error);
        return;
    }
    fuse_reply_attr(req, &st, 0.0);
}

void onReadlink(fuse_req_t req, fuse_ino_t ino) {
    Mirror& mirror = begin(req, Kind::Other);
    char target[PATH_MAX + 1];
    const ssize_t length = readlinkat(mirror.nodes.node(ino).fd, "", target, PATH_MAX);
    if (length < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    target[length] = '\0';
    fuse_reply_readlink(req, target);
}

void onOpendir(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Mirror& mirror = begin(req, Kind::Opendir);
    auto listing = std::make_unique<Listing>();
    const int error = retryForDescriptors([&] {
        listing->clear();
        return readListing(mirror.nodes.node(ino).fd, *listing);
    });
    if (error != 0) {
        fuse_reply_err(req, error);
        return;
    }
    Listing* held = mirror.listings.add(std::move(listing));
    fi->fh = reinterpret_cast<std::uint64_t>(held);
    fi->cache_readdir = 0;
    fi->keep_cache = 0;
    if (fuse_reply_open(req, fi) != 0) mirror.listings.remove(held);
}

// Entry i of the listing has offset i + 1: the offset the kernel gives back to go on after it.
void onReaddir(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi) {
    begin(req, Kind::Readdir);
    const Listing& listing = *reinterpret_cast<const Listing*>(fi->fh);
    if (offset < 0) {
        fuse_reply_err(req, EINVAL);
        return;
    }
    std::vector<char> buffer(size);
    size_t used = 0;
    for (size_t i = static_cast<size_t>(offset); i < listing.size(); ++i) {
        struct stat st {};
        st.st_ino = listing[i].ino;
        st.st_mode = DTTOIF(listing[i].type);
        const size_t length =
            fuse_add_direntry(req, buffer.data() + used, size - used, listing[i].name.c_str(), &st,
                              static_cast<off_t>(i + 1));
        if (length > size - used) break;
        used += length;
    }
    fuse_reply_buf(req, buffer.data(), used);
}

void onReleasedir(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    Mirror& mirror = begin(req, Kind::Other);
    mirror.listings.remove(reinterpret_cast<Listing*>(fi->fh));
    fuse_reply_err(req, 0);
}

void onOpen(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
    Mirror& mirror = begin(req, Kind::Open);
    if ((fi->flags & O_ACCMODE) != O_RDONLY || (fi->flags & O_TRUNC) != 0) {
        fuse_reply_err(req, EROFS);
        return;
    }
    // The O_PATH descriptor cannot be read; its /proc link opens the same file again.
    char path[40];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", mirror.nodes.node(ino).fd);
    int fd = -1;
    const int error = retryForDescriptors([&] {
        fd = open(path, O_RDONLY | O_CLOEXEC);
        return fd < 0 ? errno : 0;
    });
    if (error != 0) {
        fuse_reply_err(req, error);
        return;
    }
    fi->fh = static_cast<std::uint64_t>(fd);
    fi->keep_cache = 0;
    if (fuse_reply_open(req, fi) != 0) close(fd);
}

void onRead(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info* fi) {
    begin(req, Kind::Other);
    std::vector<char> buffer(size);
    const ssize_t length = pread(static_cast<int>(fi->fh), buffer.data(), size, offset);
    if (length < 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_reply_buf(req, buffer.data(), static_cast<size_t>(length));
}

void onRelease(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    begin(req, Kind::Other);
    close(static_cast<int>(fi->fh));
    fuse_reply_err(req, 0);
}

void onStatfs(fuse_req_t req, fuse_ino_t ino) {
    Mirror& mirror = begin(req, Kind::Other);
    struct statvfs st {};
    if (fstatvfs(mirror.nodes.node(ino).fd, &st) != 0) {
        fuse_reply_err(req, errno);
        return;
    }
    fuse_reply_statfs(req, &st);
}

// The mount is read-only, so the kernel refuses these itself; they are answered anyway.
void addRefusals(fuse_lowlevel_ops& ops) {
    ops.setattr = [](fuse_req_t r, fuse_ino_t, struct stat*, int, fuse_file_info*) { refuse(r); };
    ops.mknod = [](fuse_req_t r, fuse_ino_t, const char*, mode_t, dev_t) { refuse(r); };
    ops.mkdir = [](fuse_req_t r, fuse_ino_t, const char*, mode_t) { refuse(r); };
    ops.unlink = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
    ops.rmdir = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
    ops.symlink = [](fuse_req_t r, const char*, fuse_ino_t, const char*) { refuse(r); };
    ops.rename = [](fuse_req_t r, fuse_ino_t, const char*, fuse_ino_t, const char*, unsigned int) {
        refuse(r);
    };
    ops.link = [](fuse_req_t r, fuse_ino_t, fuse_ino_t, const char*) { refuse(r); };
    ops.write = [](fuse_req_t r, fuse_ino_t, const char*, size_t, off_t, fuse_file_info*) {
        refuse(r);
    };
    ops.create = [](fuse_req_t r, fuse_ino_t, const char*, mode_t, fuse_file_info*) { refuse(r); };
    ops.setxattr = [](fuse_req_t r, fuse_ino_t, const char*, const char*, size_t, int) {
        refuse(r);
    };
    ops.removexattr = [](fuse_req_t r, fuse_ino_t, const char*) { refuse(r); };
}

}  // namespace

fuse_lowlevel_ops mirrorOps() {
    fuse_lowlevel_ops ops{};
    ops.init = onInit;
    ops.lookup = onLookup;
    ops.forget = onForget;
    ops.forget_multi = onForgetMulti;
    ops.getattr = onGetattr;
    ops.readlink = onReadlink;
    ops.opendir = onOpendir;
    ops.readdir = onReaddir;
    ops.releasedir = onReleasedir;
    ops.open = onOpen;
    ops.read = onRead;
    ops.release = onRelease;
    ops.statfs = onStatfs;
    addRefusals(ops);
    return ops;
}

}  // namespace latencyfs
