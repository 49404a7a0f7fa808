#include "app/EventPump.h"

#include <QCoreApplication>

#include "app/Form1.h"

namespace voidbroom {

EventPump::EventPump(Form1& form, const std::function<void()>& hook) : form_(form), hook_(hook) {}

bool EventPump::pump() {
    if (hook_) hook_();
    if (form_.closed()) return false;
    if (!due_.due()) return true;
    if (beforeEvents) beforeEvents();
    QCoreApplication::processEvents();
    return !form_.closed();
}

}  // namespace voidbroom
