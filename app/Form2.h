#pragma once

#include <QDialog>
#include <string_view>

class QPlainTextEdit;

namespace voidbroom {

// The content window: a small fixed tool window whose one text box shows what a folder
// holds. The double-click on the result list creates it when it is needed, sets its title
// and text and shows it modally; closing it deletes it. Nothing is read back from it, so
// its text is read-only (it can still be selected and copied).
class Form2 : public QDialog {
    Q_OBJECT

public:
    explicit Form2(QWidget* owner);

    QPlainTextEdit* Text1;

    // Runs when the window is created: stretches Text1 over the whole client area.
    void Form_Load();

    // A listing's text as the text box shows it: CR LF line ends become line breaks; a name
    // that is not UTF-8 shows replacement characters, and so does a line break of its own.
    static QString shownText(std::string_view text);
};

}  // namespace voidbroom
