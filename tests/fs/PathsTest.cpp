// Path text and the places it comes from: the separators after a path's last name are
// dropped in one way everywhere, and the home folder is found as the trash and the log need.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "fs/HomeFolder.h"
#include "fs/Paths.h"

namespace voidbroom {
namespace {

TEST(Paths, TrailingSlashesGoAndTheRootStays) {
    const struct {
        const char *path, *trimmed, *root, *leaf, *parent;
    } cases[] = {
        {"/", "/", "/", "/", "/"},
        {"///", "/", "/", "/", "/"},
        {"/a", "/a", "/a/", "a", "/"},
        {"/a//", "/a", "/a/", "a", "/"},
        {"/a/b/", "/a/b", "/a/b/", "b", "/a"},
        {"a/b", "a/b", "a/b/", "b", "a"},
        {"b//", "b", "b/", "b", "."},
        {"", "", "/", "", "."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withoutTrailingSlashes(c.path), c.trimmed) << c.path;
        EXPECT_EQ(rootPathOf(c.path), c.root) << c.path;
        EXPECT_EQ(leafName(c.path), c.leaf) << c.path;
        EXPECT_EQ(parentPathOf(c.path), c.parent) << c.path;
    }
}

// Sets HOME, or unsets it for nullopt.
void setHome(const std::optional<std::string>& home) {
    home ? setenv("HOME", home->c_str(), 1) : unsetenv("HOME");
}

// Sets HOME for the scope, and puts the old value back.
class HomeSetTo {
public:
    explicit HomeSetTo(const std::optional<std::string>& home) {
        if (const char* old = std::getenv("HOME")) old_ = old;
        setHome(home);
    }
    ~HomeSetTo() { setHome(old_); }

private:
    std::optional<std::string> old_;
};

// The path rules see below the walk's top, whether the top was given with its "/" or not.
TEST(Paths, BelowTheTopIsThePathWithoutTheTopOrALeadingSlash) {
    EXPECT_EQ(belowTop("/mnt/usb/", 9), "");
    EXPECT_EQ(belowTop("/mnt/usb/a/b", 9), "a/b");
    EXPECT_EQ(belowTop("/mnt/usb/a/b", 8), "a/b");
    EXPECT_EQ(belowTop("usb//a", 3), "a");
    EXPECT_EQ(belowTop("/mnt/usb", 20), "");
}

TEST(HomeFolder, ComesFromAnAbsoluteHomeElseFromThePasswordDatabase) {
    const passwd* user = getpwuid(geteuid());
    const std::string fromDatabase(user ? withoutTrailingSlashes(user->pw_dir) : "");
    const struct {
        std::optional<std::string> home;
        std::string expected;
    } cases[] = {
        {"/home/someone", "/home/someone"},
        {"/home/someone//", "/home/someone"},
        {"/", "/"},
        {"relative/home", fromDatabase},
        {"", fromDatabase},
        {std::nullopt, fromDatabase},
    };
    for (const auto& c : cases) {
        HomeSetTo home(c.home);
        EXPECT_EQ(homeFolder(), c.expected) << c.home.value_or("(unset)");
    }
}

}  // namespace
}  // namespace voidbroom
