#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

namespace voidbroom::test {

// Watches for the next modal message box, notes what it shows, and answers it by clicking
// one of its buttons, the way a user would. Create it before the action that opens a box.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { tryAnswer(); });
        timer_.start();
    }

    bool answered() const { return answered_; }
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    // Runs while the box is shown, before it is answered (to look at the window behind it).
    std::function<void()> whenShown;

private:
    void tryAnswer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        if (QAbstractButton* d = box->defaultButton()) defaultButton = box->standardButton(d);
        answered_ = true;
        timer_.stop();
        if (whenShown) whenShown();
        QAbstractButton* button = box->button(answer_);
        if (button)
            button->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton answer_;
    QTimer timer_;
    bool answered_ = false;
};

}  // namespace voidbroom::test
