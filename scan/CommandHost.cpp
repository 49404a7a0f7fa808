#include "scan/CommandHost.h"

namespace voidbroom {

CommandHost::CommandHost(CommandOutput& output, ProgressLine* progress, bool keepEntries)
    : output_(output), progress_(progress), keepEntries_(keepEntries) {}

void CommandHost::addEntry(const ResultEntry& entry) {
    if (progress_) progress_->entryFound();
    if (keepEntries_)
        kept_.push_back(entry);
    else
        output_.entry(entry);
}

}  // namespace voidbroom
