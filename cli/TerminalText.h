#pragma once

#include <string>
#include <string_view>

namespace voidbroom {

// `text` as it may be shown on a terminal: control characters (C0, DEL and C1) and bytes
// that are not UTF-8 are written as backslash escapes, as `ls -b` writes them (\n, \t, \r,
// \a, \b, \f, \v, else three octal digits a byte), and a backslash is doubled, so that a
// name can neither send the terminal a command nor pass for another name. Printable UTF-8
// stays as it is.
std::string terminalSafe(std::string_view text);

}  // namespace voidbroom
