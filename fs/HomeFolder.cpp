#include "fs/HomeFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "fs/Paths.h"

namespace voidbroom {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(geteuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home ? std::string(withoutTrailingSlashes(home)) : std::string();
}

}  // namespace voidbroom
