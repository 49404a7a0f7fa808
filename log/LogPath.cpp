#include "log/LogPath.h"

#include "fs/HomeFolder.h"
#include "fs/Paths.h"

namespace voidbroom {

std::string defaultLogPath() {
    const std::string home = homeFolder();
    return home.empty() ? "voidbroom-log.txt" : childPath(home, "voidbroom-log.txt");
}

}  // namespace voidbroom
