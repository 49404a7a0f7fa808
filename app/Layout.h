#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>

namespace voidbroom::layout {

// The windows are designed in twips; 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;

inline int px(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
inline QRect twips(int left, int top, int width, int height) {
    return QRect(px(left), px(top), px(width), px(height));
}

inline const QColor kOrange(255, 128, 0);
inline const QColor kBlue(53, 118, 200);
inline const QColor kDarkGrey(64, 64, 64);
inline const QColor kRed(255, 0, 0);
inline const QColor kWhite(255, 255, 255);

inline QFont designFont(const QString& family, qreal points, bool bold = false) {
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

inline void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

// An opaque background in `color` (frames, the window, value labels).
inline void setBackground(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Where Segoe UI or Arial is missing, the closest families of a Debian desktop stand in.
void registerFontSubstitutes();

}  // namespace voidbroom::layout
