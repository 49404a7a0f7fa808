#include "log/LogPath.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace voidbroom {

std::string defaultLogPath() {
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) {
        home = user->pw_dir;
    }
    if (home.empty()) return "voidbroom-log.txt";
    if (home.back() != '/') home += '/';
    return home + "voidbroom-log.txt";
}

}  // namespace voidbroom
