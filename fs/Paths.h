#pragma once

#include <string>
#include <string_view>

namespace voidbroom {

// `path` without the separators after its last name ("/" stays "/").
inline std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

// The path of a folder used as the root of a walk: the folder's path with exactly one
// final "/" ("/" stays "/"), the way a drive's root path ends in its separator.
inline std::string rootPathOf(std::string_view folder) {
    std::string root(withoutTrailingSlashes(folder));
    if (root.empty() || root.back() != '/') root += '/';
    return root;
}

// Appends the name of a child to its parent's path, with one "/" between them.
inline void appendChild(std::string& path, std::string_view name) {
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
}

inline std::string childPath(std::string parent, std::string_view name) {
    appendChild(parent, name);
    return parent;
}

// The part of `path` below its first `topLength` bytes, the top of a walk, without a leading
// "/": what the rules' path patterns are matched against ("" for the top itself).
inline std::string_view belowTop(std::string_view path, std::size_t topLength) {
    path.remove_prefix(topLength < path.size() ? topLength : path.size());
    while (!path.empty() && path.front() == '/') path.remove_prefix(1);
    return path;
}

// The last component of a path, without the separators after it.
inline std::string_view leafName(std::string_view path) {
    path = withoutTrailingSlashes(path);
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

// The path of the folder that holds `path` ("." for a bare name, "/" for a name in "/").
inline std::string parentPathOf(std::string_view path) {
    path = withoutTrailingSlashes(path);
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return ".";
    return std::string(path.substr(0, slash == 0 ? 1 : slash));
}

}  // namespace voidbroom
