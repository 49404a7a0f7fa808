#include "cli/EntryOutput.h"

#include "cli/Base64.h"
#include "cli/Utf8.h"

namespace voidbroom {
namespace {

void appendEscaped(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (byte) {
        case '\n':
            out += "\\n";
            return;
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        default:
            break;
    }
    if (byte < 0x20) {
        out += "\\u00";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    } else {
        out += static_cast<char>(byte);
    }
}

void appendJsonEntry(std::string& out, const ResultEntry& entry, bool junkCounted) {
    out += "{\"kind\":\"";
    out += kindName(entry.kind);
    out += "\",\"path\":";
    appendJsonString(out, entry.path);
    if (!isValidUtf8(entry.path)) {
        out += ",\"path_base64\":\"";
        out += base64(entry.path);
        out += '"';
    }
    if (junkCounted) out += ",\"junk_files\":" + std::to_string(entry.junkFiles);
    out += "}\n";
}

}  // namespace

std::string_view kindName(EntryKind kind) {
    switch (kind) {
        case EntryKind::Empty:
            return "empty";
        case EntryKind::ZeroSize:
            return "zero-size";
        case EntryKind::NoFiles:
            break;
    }
    return "no-files";
}

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    char32_t codePoint = 0;
    while (!text.empty()) {
        const std::size_t length = utf8SequenceAt(text, codePoint);
        if (length == 0) {
            out += kReplacementCharacter;
            text.remove_prefix(1);
        } else if (length == 1) {
            appendEscaped(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
        } else {
            out += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    out += '"';
}

void appendEntry(std::string& out, const ResultEntry& entry, OutputFormat format,
                 bool junkCounted) {
    if (format == OutputFormat::JsonLines) {
        appendJsonEntry(out, entry, junkCounted);
        return;
    }
    out += entryText(entry);
    out += format == OutputFormat::Null ? '\0' : '\n';
}

}  // namespace voidbroom
