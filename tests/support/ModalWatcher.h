#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>

namespace voidbroom::test {

// Watches, every few milliseconds, for a modal window of type `Window` and calls `onShown`
// with it while it is shown, so that a test can read it and answer or close it as a user
// would. With `once`, it stops watching after the first window; otherwise it goes on.
// Create it before the action that opens the window.
template <class Window>
class ModalWatcher {
public:
    ModalWatcher(std::function<void(Window&)> onShown, bool once) : onShown_(std::move(onShown)) {
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this, once] {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            if (!window) return;
            if (once) timer_.stop();
            onShown_(*window);
        });
        timer_.start(5);
    }

private:
    std::function<void(Window&)> onShown_;
    QTimer timer_;
};

}  // namespace voidbroom::test
