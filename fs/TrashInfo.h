#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace voidbroom {

// A path as a trash's info file writes it: every byte but letters, digits, "-_.~" and "/"
// as %XX, so that any name, UTF-8 or not, survives the trip.
std::string percentEncoded(std::string_view path);

// The text of an info file for a folder moved to the trash: where it was (`path`, already
// as Path= wants it: absolute or relative to the drive's top folder) and when, in local time.
std::string trashInfoText(std::string_view path, std::time_t when);

// The name a folder called `name` gets in the trash on attempt `attempt` (1, 2, ...): the name
// itself, then "name.2", "name.3", ...; cut short where its info file's name would be too
// long for a folder entry.
std::string trashNameFor(std::string_view name, int attempt);

}  // namespace voidbroom
