#pragma once

#include <string>
#include <string_view>

namespace voidbroom {

// `bytes` in base64, standard alphabet, padded with "=" to a multiple of four characters.
std::string base64(std::string_view bytes);

}  // namespace voidbroom
