#include "app/log/WindowLogHost.h"

#include "app/Form1.h"

namespace voidbroom {
WindowLogHost::WindowLogHost(Form1& form) : form_(form), pump_(form, form.contentYieldHook) {
    caption_ = form_.windowTitle();
    pump_.beforeEvents = [this] { showCaption(); };
}

void WindowLogHost::entryStarted() {
    ++dots_;
    if (captionDue_.due()) showCaption();
}

void WindowLogHost::yield() {
    pump_.pump();
}

// The caption grows by the dots counted since it was last shown: one append, not a caption
// built afresh for every entry.
void WindowLogHost::showCaption() {
    if (dots_ == dotsShown_) return;
    caption_.append(QString(dots_ - dotsShown_, QLatin1Char('.')));
    dotsShown_ = dots_;
    form_.setWindowTitle(caption_);
}

}  // namespace voidbroom
