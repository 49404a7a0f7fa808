#include "cli/TerminalText.h"

#include "cli/Utf8.h"

namespace voidbroom {
namespace {

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendEscaped(std::string& out, unsigned char byte) {
    static constexpr std::string_view kNamed = "abtnvfr";  // \a is 7, \r is 13
    out += '\\';
    if (byte >= 7 && byte <= 13) {
        out += kNamed[byte - 7];
        return;
    }
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char32_t codePoint = 0;
    while (!text.empty()) {
        const std::size_t length = utf8SequenceAt(text, codePoint);
        if (length == 0 || isControl(codePoint)) {
            for (std::size_t i = 0; i < (length == 0 ? 1 : length); ++i)
                appendEscaped(out, static_cast<unsigned char>(text[i]));
        } else if (codePoint == '\\') {
            out += "\\\\";
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

}  // namespace voidbroom
