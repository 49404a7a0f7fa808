#pragma once

#include <string>

namespace voidbroom {

// The user's home folder, without a final "/" ("/" stays "/"): $HOME where it is an absolute
// path, else the password database's entry for the effective user; "" where neither says.
std::string homeFolder();

}  // namespace voidbroom
