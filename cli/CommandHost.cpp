#include "cli/CommandHost.h"

namespace voidbroom {

CommandHost::CommandHost(CommandOutput& output, ProgressLine* progress, bool keepEntries,
                         const volatile std::sig_atomic_t* interrupted)
    : output_(output), progress_(progress), keepEntries_(keepEntries), interrupted_(interrupted) {}

void CommandHost::addEntry(const ResultEntry& entry) {
    if (progress_) progress_->entryFound();
    if (keepEntries_)
        kept_.push_back(entry);
    else
        output_.entry(entry);
}

}  // namespace voidbroom
