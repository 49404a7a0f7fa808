#pragma once

#include <cstddef>
#include <string_view>

namespace voidbroom {

// Folder names are bytes; these tell where they are text. Only shortest forms of code points
// up to U+10FFFF that are not surrogates count as UTF-8.

// The length (1 to 4) of the valid UTF-8 sequence that `text` starts with, with its code
// point in `codePoint`; 0 when `text` is empty or its first byte starts no valid sequence.
std::size_t utf8SequenceAt(std::string_view text, char32_t& codePoint);

bool isValidUtf8(std::string_view text);

// U+FFFD REPLACEMENT CHARACTER, in UTF-8.
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace voidbroom
