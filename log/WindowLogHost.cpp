#include "log/WindowLogHost.h"

#include "app/Form1.h"

namespace voidbroom {
namespace {
constexpr qint64 kCaptionIntervalNs = 10'000'000;
}  // namespace

WindowLogHost::WindowLogHost(Form1& form) : form_(form), pump_(form) {
    caption_ = form_.windowTitle();
    pump_.beforeEvents = [this] { showCaption(); };
    sinceShown_.start();
}

void WindowLogHost::entryStarted() {
    ++dots_;
    if (sinceShown_.nsecsElapsed() >= kCaptionIntervalNs) showCaption();
}

void WindowLogHost::yield() {
    pump_.yield();
}

// The caption grows by the dots counted since it was last shown: one append, not a caption
// built afresh for every entry.
void WindowLogHost::showCaption() {
    sinceShown_.start();
    if (dots_ == dotsShown_) return;
    caption_.append(QString(dots_ - dotsShown_, QLatin1Char('.')));
    dotsShown_ = dots_;
    form_.setWindowTitle(caption_);
}

}  // namespace voidbroom
