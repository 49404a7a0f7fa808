#include <QApplication>

#include "app/Form1.h"
#include "app/ProgramEnd.h"
#include "fs/FolderStack.h"

int main(int argc, char** argv) {
    voidbroom::raiseDescriptorLimit();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Voidbroom");
    QApplication::setApplicationVersion(VOIDBROOM_VERSION);
    // The desktop entry's name without ".desktop": how a Wayland compositor or a task bar
    // finds the program's icon and name for its window.
    QApplication::setDesktopFileName(QStringLiteral(VOIDBROOM_APP_ID));
    voidbroom::Form1 form;
    if (!form.loaded()) return 1;
    form.show();
    const int code = QApplication::exec();
    voidbroom::endAtOnce(code);
    return code;
}
