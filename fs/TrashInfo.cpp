#include "fs/TrashInfo.h"

#include <climits>
#include <cstdio>

namespace voidbroom {
namespace {
constexpr std::string_view kInfoSuffix = ".trashinfo";
constexpr std::size_t kMaxEntryName = NAME_MAX;

bool keptAsItIs(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~' || c == '/';
}
}  // namespace

std::string percentEncoded(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(path.size());
    for (const char byte : path) {
        const auto c = static_cast<unsigned char>(byte);
        if (keptAsItIs(c)) {
            text += byte;
        } else {
            text += '%';
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    return text;
}

std::string trashInfoText(std::string_view path, std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percentEncoded(path) + "\nDeletionDate=" + date + "\n";
}

std::string trashNameFor(std::string_view name, int attempt) {
    // Built up, not as "." + number: GCC 12 warns wrongly of an overlap there.
    std::string suffix;
    if (attempt > 1) suffix.append(1, '.').append(std::to_string(attempt));
    const std::size_t room = kMaxEntryName - kInfoSuffix.size() - suffix.size();
    return std::string(name.substr(0, room)) + suffix;
}

}  // namespace voidbroom
