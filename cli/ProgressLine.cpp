#include "cli/ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

#include "cli/Utf8.h"

namespace voidbroom {
namespace {

constexpr std::string_view kEllipsis = "...";
constexpr std::string_view kEraseToEnd = "\033[K";

// The columns a code point takes: 2 in the main East Asian wide and emoji blocks, else 1.
// Combining marks count as 1 too: a line too short is better than one that wraps.
std::size_t columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// One character as the line shows it.
struct Shown {
    std::string_view text;
    std::size_t columns;
};

std::vector<Shown> shownCharacters(std::string_view path) {
    std::vector<Shown> shown;
    shown.reserve(path.size());
    char32_t codePoint = 0;
    while (!path.empty()) {
        const std::size_t length = utf8SequenceAt(path, codePoint);
        if (length == 0 || isControl(codePoint))
            shown.push_back({"?", 1});
        else
            shown.push_back({path.substr(0, length), columnsOf(codePoint)});
        path.remove_prefix(length == 0 ? 1 : length);
    }
    return shown;
}

}  // namespace

std::string shownTail(std::string_view path, std::size_t columns) {
    const std::vector<Shown> shown = shownCharacters(path);
    std::size_t total = 0;
    for (const Shown& c : shown) total += c.columns;
    std::size_t first = 0;  // the first character kept
    if (total > columns) {
        if (columns < kEllipsis.size()) return {};
        std::size_t used = kEllipsis.size();
        first = shown.size();
        while (first > 0 && used + shown[first - 1].columns <= columns)
            used += shown[--first].columns;
    }
    std::string text(first > 0 ? kEllipsis : "");
    for (std::size_t i = first; i < shown.size(); ++i) text += shown[i].text;
    return text;
}

std::string progressText(const ProgressCounts& counts, std::string_view path, std::size_t columns) {
    const std::size_t room = columns > 1 ? columns - 1 : 0;
    std::string text = std::to_string(counts.folders) + " folders, " +
                       std::to_string(counts.entries) + " entries, " +
                       std::to_string(static_cast<long long>(counts.foldersPerSecond)) +
                       " folders/s  ";
    if (text.size() >= room) {  // too narrow for any path: the counts, cut
        text.resize(room);
        return text;
    }
    return text + shownTail(path, room - text.size());
}

std::size_t terminalColumns(std::FILE* stream) {
    winsize size{};
    if (ioctl(fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

ProgressLine::ProgressLine(std::FILE* err, std::FILE* sharedOut)
    : err_(err), sharedOut_(sharedOut) {}

void ProgressLine::folderVisited(std::string_view path) {
    ++counts_.folders;
    if (everDrawn_ && ++sinceCheck_ < kFoldersPerClockCheck) return;
    sinceCheck_ = 0;
    const Clock::time_point now = Clock::now();
    // An erased line comes back at the next redraw that is due, not at once: entries that
    // erase it must not make it redraw more often.
    if (!everDrawn_ || now - lastDraw_ >= kRedrawInterval) draw(path, now);
}

void ProgressLine::draw(std::string_view path, Clock::time_point now) {
    if (sharedOut_) std::fflush(sharedOut_);
    const std::chrono::duration<double> elapsed = now - start_;
    counts_.foldersPerSecond =
        elapsed.count() >= 0.1 ? static_cast<double>(counts_.folders) / elapsed.count() : 0;
    line_.assign(1, '\r');  // not = "\r": GCC 12 warns wrongly of an overlap there
    line_ += progressText(counts_, path, terminalColumns(err_));
    line_ += kEraseToEnd;
    std::fwrite(line_.data(), 1, line_.size(), err_);
    std::fflush(err_);
    lastDraw_ = now;
    drawn_ = everDrawn_ = true;
}

void ProgressLine::erase() {
    if (!drawn_) return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    drawn_ = false;
}

}  // namespace voidbroom
