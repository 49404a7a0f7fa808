#pragma once

#include <string>

namespace voidbroom {

// Where the log goes unless the user types another path: voidbroom-log.txt in the user's
// home folder (from HOME, else the password database; the current folder without either).
std::string defaultLogPath();

}  // namespace voidbroom
