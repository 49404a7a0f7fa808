#pragma once

#include <string>

namespace voidbroom {

// Where the log goes unless the user types another path: voidbroom-log.txt in the user's
// home folder (see homeFolder; the current folder without one).
std::string defaultLogPath();

}  // namespace voidbroom
