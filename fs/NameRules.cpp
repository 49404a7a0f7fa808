#include "fs/NameRules.h"

#include <fnmatch.h>

#include <algorithm>

namespace voidbroom {
namespace {

bool isSpecial(char c) {
    return c == '*' || c == '?' || c == '[' || c == '\\';
}

bool plain(std::string_view text) {
    return std::none_of(text.begin(), text.end(), isSpecial);
}

bool matchesAny(const std::vector<GlobPattern>& patterns, std::string_view text) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const GlobPattern& pattern) { return pattern.matches(text); });
}

// A path pattern is read from the top of the walk: "./a/b" and "/a/b" mean "a/b".
std::string anchored(std::string_view pattern) {
    while (pattern.starts_with("./")) pattern.remove_prefix(2);
    while (pattern.starts_with('/')) pattern.remove_prefix(1);
    return std::string(pattern);
}

}  // namespace

GlobPattern::GlobPattern(std::string pattern, int flags)
    : pattern_(std::move(pattern)), kind_(Kind::Glob), flags_(flags) {
    const std::string_view text = pattern_;
    if (plain(text)) {
        kind_ = Kind::Literal;
        fixed_ = pattern_;
    } else if (text.size() > 1 && text.back() == '*' && plain(text.substr(0, text.size() - 1))) {
        kind_ = Kind::Prefix;
        fixed_ = text.substr(0, text.size() - 1);
    } else if (text.size() > 1 && text.front() == '*' && plain(text.substr(1)) &&
               !(flags & FNM_PATHNAME)) {
        kind_ = Kind::Suffix;
        fixed_ = text.substr(1);
    }
}

bool GlobPattern::matches(std::string_view text) const {
    switch (kind_) {
        case Kind::Literal:
            return text == fixed_;
        case Kind::Prefix:
            // With FNM_PATHNAME, "*" does not reach past a "/".
            return text.starts_with(fixed_) &&
                   (!(flags_ & FNM_PATHNAME) ||
                    text.find('/', fixed_.size()) == std::string_view::npos);
        case Kind::Suffix:
            return text.ends_with(fixed_);
        case Kind::Glob:
            break;
    }
    return fnmatch(pattern_.c_str(), std::string(text).c_str(), flags_) == 0;
}

void NameRules::addJunk(const std::string& pattern) {
    junk_.emplace_back(pattern, 0);
}

void NameRules::addKeep(const std::string& pattern) {
    keep_.emplace_back(pattern, 0);
}

void NameRules::addExclude(const std::string& pattern) {
    if (pattern.find('/') == std::string::npos)
        excludeNames_.emplace_back(pattern, 0);
    else
        excludePaths_.emplace_back(anchored(pattern), FNM_PATHNAME);
}

NameRole NameRules::roleOf(std::string_view name, bool isFolder, std::string_view folder) const {
    if (matchesAny(keep_, name) || matchesAny(excludeNames_, name)) return NameRole::Kept;
    if (!excludePaths_.empty()) {
        std::string path(folder);
        if (!path.empty() && path.back() != '/') path += '/';
        path += name;
        if (matchesAny(excludePaths_, path)) return NameRole::Kept;
    }
    if (!isFolder && matchesAny(junk_, name)) return NameRole::Junk;
    return NameRole::Plain;
}

const std::vector<std::string>& NameRules::commonJunk() {
    static const std::vector<std::string> names = {"Thumbs.db", "ehthumbs.db", "desktop.ini",
                                                   ".DS_Store", "._*",         ".directory"};
    return names;
}

}  // namespace voidbroom
