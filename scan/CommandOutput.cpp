#include "scan/CommandOutput.h"

#include <cerrno>
#include <cstring>

namespace voidbroom {

CommandOutput::CommandOutput(std::FILE* out, std::FILE* err, OutputFormat format,
                             ProgressLine* progress)
    : out_(out), err_(err), format_(format), progress_(progress) {}

void CommandOutput::entry(const ResultEntry& entry) {
    if (progress_) progress_->beforeOutput();
    text_.clear();
    appendEntry(text_, entry, format_);
    std::fwrite(text_.data(), 1, text_.size(), out_);
}

void CommandOutput::message(const std::string& text) {
    if (progress_) progress_->erase();
    std::fprintf(err_, "voidbroom-scan: %s\n", text.c_str());
}

bool CommandOutput::flush() {
    if (std::fflush(out_) == 0 && !failed()) return true;
    if (!failureTold_) message(std::string("cannot write the output: ") + std::strerror(errno));
    failureTold_ = true;
    return false;
}

}  // namespace voidbroom
