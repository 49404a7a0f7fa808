#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace voidbroom {

// What an entry of a folder is to a walk under the user's cleanup rules.
enum class NameRole {
    Plain,  // as any entry
    Junk,   // a file left behind by some system: it counts as absent, and goes with its folder
    Kept,   // to keep (--keep) or excluded (--exclude): it counts as content holding data, a
            // folder is never entered, and nothing removes it
};

// One glob pattern, matched the way fnmatch(3) matches it with `flags`; patterns that are
// plain text, or plain text with one "*" at either end, are matched without fnmatch, since a
// scan asks about every name it reads.
class GlobPattern {
public:
    GlobPattern(std::string pattern, int flags);
    bool matches(std::string_view text) const;
    const std::string& text() const { return pattern_; }

private:
    enum class Kind { Literal, Prefix, Suffix, Glob };
    std::string pattern_;
    std::string fixed_;  // the plain text of a Literal, Prefix or Suffix
    Kind kind_;
    int flags_;
};

// The user's rules on names, as glob patterns that fnmatch(3) reads without FNM_PERIOD (a
// leading dot is an ordinary character). A junk pattern matches a file's name; a keep pattern
// the name of a file or folder; an exclude pattern the name of a file or folder, or, when it
// holds a "/", its path from the top of the walk (with FNM_PATHNAME: "*" stays within one
// name). Keeping wins over junk. Empty rules make every entry Plain.
class NameRules {
public:
    void addJunk(const std::string& pattern);
    void addKeep(const std::string& pattern);
    void addExclude(const std::string& pattern);

    bool empty() const {
        return junk_.empty() && keep_.empty() && excludeNames_.empty() && excludePaths_.empty();
    }
    bool hasJunk() const { return !junk_.empty(); }
    // Whether some pattern needs the entry's path from the top of the walk.
    bool needsPaths() const { return !excludePaths_.empty(); }

    // The role of the entry `name` in the folder at `folder`, its path from the top of the
    // walk ("" for the top itself); `folder` is read only when needsPaths().
    NameRole roleOf(std::string_view name, bool isFolder, std::string_view folder = {}) const;

    // The names of the files that --junk-common stands for.
    static const std::vector<std::string>& commonJunk();

private:
    std::vector<GlobPattern> junk_, keep_, excludeNames_, excludePaths_;
};

}  // namespace voidbroom
