#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace voidbroom {

// When the entry `st` describes was last modified, in nanoseconds since the epoch: the one
// scale the age rule compares times on.
inline std::int64_t modifiedAt(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

}  // namespace voidbroom
