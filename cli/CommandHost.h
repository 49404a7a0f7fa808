#pragma once

#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "cli/CommandOutput.h"
#include "cli/ProgressLine.h"
#include "scan/ScanHost.h"

namespace voidbroom {

// voidbroom-scan's host for the walk: it writes each entry as it is found, or, for a run
// that deletes, keeps the entries until the walk is over; it feeds the progress line; and
// it ends the walk once the output cannot be written any more.
class CommandHost : public ScanHost {
public:
    // `progress` and `interrupted` may be null; all must outlive the host.
    CommandHost(CommandOutput& output, ProgressLine* progress, bool keepEntries,
                const volatile std::sig_atomic_t* interrupted);

    void yield() override {}
    bool stopRequested() override {
        return output_.failed() || (interrupted_ && *interrupted_ != 0);
    }
    void showFolder(const std::string& path) override {
        if (progress_) progress_->folderVisited(path);
    }
    void addEntry(const ResultEntry& entry) override;

    // The entries kept since the last call, in walk order.
    std::vector<ResultEntry> takeEntries() { return std::exchange(kept_, {}); }

private:
    CommandOutput& output_;
    ProgressLine* progress_;
    bool keepEntries_;
    const volatile std::sig_atomic_t* interrupted_;
    std::vector<ResultEntry> kept_;
};

}  // namespace voidbroom
