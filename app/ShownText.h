#pragma once

#include <QString>
#include <string_view>

namespace voidbroom {

// A path or name, held as the bytes the file system keeps, as the windows show it: bytes
// that are not UTF-8 become replacement characters. Only ever for showing; the bytes stay
// what the program works with.
inline QString shownPath(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace voidbroom
