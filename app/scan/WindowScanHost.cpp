#include "app/scan/WindowScanHost.h"

#include "app/Form1.h"
#include "app/ShownText.h"
#include "app/widgets/ResultListView.h"

namespace voidbroom {

WindowScanHost::WindowScanHost(Form1& form)
    : form_(form), pump_(form, form.scanYieldHook), firstUnshown_(form.List1->ListCount()) {
    pump_.beforeEvents = [this] { show(false); };
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
}

void WindowScanHost::finish() {
    show(true);
}

void WindowScanHost::show(bool all) {
    if (form_.closed()) return;
    ResultListView& list = *form_.List1;
    if (list.ListCount() > firstUnshown_ && (all || listDue_.due())) {
        list.entriesAppended(firstUnshown_);
        firstUnshown_ = list.ListCount();
    }
    if (!captionChanged_ || !(all || captionDue_.due())) return;
    form_.setWindowTitle("Scanning " + shownPath(caption_) + " for empty folders...");
    captionChanged_ = false;
}

}  // namespace voidbroom
