#include "cli/CommandOutput.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "cli/TerminalText.h"

namespace voidbroom {

CommandOutput::CommandOutput(std::FILE* out, std::FILE* err, OutputFormat format,
                             ProgressLine* progress)
    : out_(out),
      err_(err),
      format_(format),
      progress_(progress),
      escaped_(format == OutputFormat::Lines && isatty(fileno(out)) == 1) {}

void CommandOutput::entry(const ResultEntry& entry) {
    if (progress_) progress_->beforeOutput();
    text_.clear();
    if (escaped_) {
        text_ = terminalSafe(entryText(entry));
        text_ += '\n';
    } else {
        appendEntry(text_, entry, format_, junkCounted_);
    }
    std::fwrite(text_.data(), 1, text_.size(), out_);
}

void CommandOutput::message(const std::string& text) {
    if (progress_) progress_->erase();
    const std::string line = "voidbroom-scan: " + terminalSafe(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), err_);
}

bool CommandOutput::flush() {
    if (std::fflush(out_) == 0 && !failed()) return true;
    if (!failureTold_) message(std::string("cannot write the output: ") + std::strerror(errno));
    failureTold_ = true;
    return false;
}

}  // namespace voidbroom
