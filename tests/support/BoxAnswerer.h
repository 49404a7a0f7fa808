#pragma once

#include <QAbstractButton>
#include <QMessageBox>
#include <functional>

#include "tests/support/ModalWatcher.h"

namespace voidbroom::test {

// Watches for the next modal message box, notes what it shows, and answers it by clicking
// one of its buttons, the way a user would. Create it before the action that opens a box.
// `whenShown` runs while the box is shown, before it is answered (to see the window behind).
struct BoxAnswerer {
    explicit BoxAnswerer(QMessageBox::StandardButton answer)
        : watcher(
              [this, answer](QMessageBox& box) {
                  shown = true;
                  title = box.windowTitle();
                  text = box.text();
                  icon = box.icon();
                  buttons = box.standardButtons();
                  defaultButton = box.defaultButton() ? box.standardButton(box.defaultButton())
                                                      : QMessageBox::NoButton;
                  if (whenShown) whenShown();
                  box.button(answer) ? box.button(answer)->click() : box.reject();
              },
              /*once=*/true) {}
    bool answered() const { return shown; }

    bool shown = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    std::function<void()> whenShown;
    ModalWatcher<QMessageBox> watcher;
};

}  // namespace voidbroom::test
