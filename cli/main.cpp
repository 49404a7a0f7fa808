#include <csignal>
#include <cstdio>

#include "cli/ScanCommand.h"
#include "fs/FolderStack.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void noteInterrupt(int signal) {
    g_interrupted = signal;
}

// Ctrl-C, a hang-up or a kill ends the run between two folders, so that what was printed is
// exactly what was done; the handler is taken off at the first signal, so that a second one
// ends the program at once. A signal ignored when the program started stays ignored.
void stopBetweenFoldersOnSignals() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = noteInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace

int main(int argc, char** argv) {
    voidbroom::raiseDescriptorLimit();
    static char buffer[1 << 20];  // entries are many and short: write them in large blocks
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    stopBetweenFoldersOnSignals();
    const int status = voidbroom::runScanCommand(argc, argv, stdout, stderr, &g_interrupted);
    if (g_interrupted != 0) {
        // Ends as the signal would have ended it, for the shell that waits for it.
        std::fflush(stdout);
        std::signal(g_interrupted, SIG_DFL);
        std::raise(g_interrupted);
    }
    return status;
}
