#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace voidbroom {

// A label or picture that reports a click, as the panel selectors do.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) pressed_ = true;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        const bool click = pressed_ && event->button() == Qt::LeftButton &&
                           rect().contains(event->position().toPoint());
        pressed_ = false;
        if (click) emit clicked();
    }

private:
    bool pressed_ = false;
};

}  // namespace voidbroom
