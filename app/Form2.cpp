#include "app/Form2.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>

#include "app/Layout.h"
#include "app/ShownText.h"

namespace voidbroom {

using namespace layout;

Form2::Form2(QWidget* owner) : QDialog(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    // A tool window with a small title bar and a close box only; tool windows stay out of
    // the taskbar.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(px(4680), px(3255));
    Text1 = new QPlainTextEdit(this);
    Text1->setGeometry(twips(0, 0, 4600, 3195));
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Form_Load();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form2::Form_Load() {
    Text1->setGeometry(0, 0, width(), height());
}

QString Form2::shownText(std::string_view text) {
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    std::size_t lineStart = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", lineStart);
        const std::string_view line = text.substr(
            lineStart, end == std::string_view::npos ? std::string_view::npos : end - lineStart);
        QString converted = shownPath(line);
        converted.replace(QLatin1Char('\r'), QChar::ReplacementCharacter);
        converted.replace(QLatin1Char('\n'), QChar::ReplacementCharacter);
        shown += converted;
        if (end == std::string_view::npos) return shown;
        shown += QLatin1Char('\n');
        lineStart = end + 2;
    }
}

}  // namespace voidbroom
