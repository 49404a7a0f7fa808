#include "app/scan/WindowScanHost.h"

#include "app/Form1.h"
#include "app/ShownText.h"
#include "app/widgets/ResultListView.h"

namespace voidbroom {

WindowScanHost::WindowScanHost(Form1& form) : form_(form), pump_(form, form.scanYieldHook) {
    pump_.beforeEvents = [this] { show(); };
}

void WindowScanHost::yield() {
    pump_.pump();
}

bool WindowScanHost::stopRequested() {
    return form_.StopRequested;
}

void WindowScanHost::showFolder(const std::string& path) {
    caption_.assign(path);
    captionChanged_ = true;
}

void WindowScanHost::addEntry(const ResultEntry& entry) {
    if (form_.closed()) return;
    form_.List1->list().append(entry);
    entriesAdded_ = true;
}

void WindowScanHost::finish() {
    show();
}

void WindowScanHost::show() {
    if (form_.closed()) return;
    if (entriesAdded_) form_.List1->listChanged();
    if (captionChanged_)
        form_.setWindowTitle("Scanning " + shownPath(caption_) + " for empty folders...");
    entriesAdded_ = captionChanged_ = false;
}

}  // namespace voidbroom
