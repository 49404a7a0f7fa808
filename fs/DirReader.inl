#pragma once

#include <dirent.h>
#include <errno.h>

#include <cstring>

namespace voidbroom {

template <class Visit>
int DirReader::forEach(int fd, Visit&& visit, std::int64_t endMark) {
    for (bool last = false; !last;) {
        const long bytes = readBatch(fd);
        if (bytes == 0) return 0;
        if (bytes < 0) return static_cast<int>(-bytes);
        for (long pos = 0; pos < bytes;) {
            const auto* raw = reinterpret_cast<const struct dirent64*>(buffer_.get() + pos);
            pos += raw->d_reclen;
            if (pos == bytes && endMark != kNoEndMark && raw->d_off == endMark) last = true;
            const char* name = raw->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            DirEntry entry{std::string_view(name, std::strlen(name)), raw->d_ino,
                           raw->d_type == DT_DIR};
            if (raw->d_type == DT_UNKNOWN) {
                const int error = resolveUnknown(fd, entry);
                if (error == ENOENT) continue;  // gone since the listing was read
                if (error != 0) return error;
            }
            if (!visit(static_cast<const DirEntry&>(entry))) return 0;
        }
    }
    return 0;
}

}  // namespace voidbroom
