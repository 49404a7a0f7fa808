#include "fs/NameRules.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

namespace voidbroom {
namespace {

// Each pattern as fnmatch reads it, with the shortcuts for plain text and one "*" at an end
// giving the same answers; a leading dot is an ordinary character.
TEST(NameRules, PatternsMatchAsFnmatchWithALeadingDotOrdinary) {
    const std::vector<std::tuple<std::string, std::string, bool>> cases = {
        {"Thumbs.db", "Thumbs.db", true},
        {"Thumbs.db", "thumbs.db", false},
        {"._*", "._photo", true},
        {"._*", "._", true},
        {"._*", "x._photo", false},
        {"*.tmp", ".hidden.tmp", true},
        {"*.tmp", "a.tmp.bak", false},
        {"*", ".DS_Store", true},
        {"[Dd]esktop.ini", "desktop.ini", true},
        {"f?le", "file", true},
        {"a\\*", "a*", true},
        {"a\\*", "ab", false},
    };
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(GlobPattern(pattern, 0).matches(name), matches) << pattern << " " << name;
        EXPECT_EQ(fnmatch(pattern.c_str(), name.c_str(), 0) == 0, matches)
            << pattern << " " << name;
    }
}

// Junk only for files; keep and exclude for both, keep winning over junk; an exclude
// pattern with a "/" is read against the path from the top, "*" staying within one name.
TEST(NameRules, RolesFollowTheKindOfPatternAndWhereTheEntryIs) {
    NameRules rules;
    for (const std::string& name : NameRules::commonJunk()) rules.addJunk(name);
    rules.addJunk("*.ini");
    rules.addKeep("desktop.ini");
    rules.addKeep(".gitkeep");
    rules.addExclude("node_modules");
    rules.addExclude("./photos/*/cache");
    EXPECT_EQ(rules.roleOf(".DS_Store", false), NameRole::Junk);
    EXPECT_EQ(rules.roleOf(".DS_Store", true), NameRole::Plain);
    EXPECT_EQ(rules.roleOf("desktop.ini", false), NameRole::Kept);
    EXPECT_EQ(rules.roleOf("other.ini", false), NameRole::Junk);
    EXPECT_EQ(rules.roleOf(".gitkeep", true), NameRole::Kept);
    EXPECT_EQ(rules.roleOf("node_modules", true, "a/b"), NameRole::Kept);
    EXPECT_EQ(rules.roleOf("cache", true, "photos/2019"), NameRole::Kept);
    EXPECT_EQ(rules.roleOf("cache", true, "photos/2019/x"), NameRole::Plain);
    EXPECT_EQ(rules.roleOf("cache", true, ""), NameRole::Plain);
    EXPECT_TRUE(rules.needsPaths());
    EXPECT_TRUE(NameRules().empty());
}

}  // namespace
}  // namespace voidbroom
