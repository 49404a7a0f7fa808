#include "scan/WindowScanHost.h"

#include <QComboBox>
#include <QCoreApplication>

#include "app/Form1.h"
#include "app/ShownText.h"
#include "results/ResultListView.h"

namespace voidbroom {
WindowScanHost::WindowScanHost(Form1& form) : form_(form) {}

void WindowScanHost::yield() {
    if (form_.scanYieldHook) form_.scanYieldHook();
    if (!pumpDue_.due()) return;
    show();
    QCoreApplication::processEvents();
}

bool WindowScanHost::stopRequested() { return form_.StopRequested; }

void WindowScanHost::showFolder(const std::string& path) {
    caption_.assign(path);
    captionChanged_ = true;
}

void WindowScanHost::addEntry(const ResultEntry& entry) {
    if (form_.closed()) return;
    form_.List1->list().append(entry);
    entriesAdded_ = true;
}

int WindowScanHost::scanMode() { return form_.Combo1->currentIndex(); }

void WindowScanHost::finish() { show(); }

void WindowScanHost::show() {
    if (form_.closed()) return;
    if (entriesAdded_) form_.List1->listChanged();
    if (captionChanged_) {
        form_.setWindowTitle("Scanning " + shownPath(caption_) +
                             " for empty folders...");
    }
    entriesAdded_ = captionChanged_ = false;
}

}  // namespace voidbroom
