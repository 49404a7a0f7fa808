#pragma once

#include <QWidget>
#include <initializer_list>

namespace voidbroom {

// Enables or disables, shows or hides several controls, in the order given (an order the
// window's commands keep as designed).
template <class Controls>
void setAllEnabled(const Controls& controls, bool enabled) {
    for (QWidget* control : controls) control->setEnabled(enabled);
}
inline void setAllEnabled(std::initializer_list<QWidget*> controls, bool enabled) {
    setAllEnabled<std::initializer_list<QWidget*>>(controls, enabled);
}
inline void setAllVisible(std::initializer_list<QWidget*> controls, bool visible) {
    for (QWidget* control : controls) control->setVisible(visible);
}

}  // namespace voidbroom
