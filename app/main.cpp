#include <QApplication>

#include "app/Form1.h"
#include "app/Layout.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Voidbroom");
    QApplication::setApplicationVersion(VOIDBROOM_VERSION);
    QApplication::setDesktopFileName("voidbroom");
    voidbroom::layout::registerFontSubstitutes();
    voidbroom::Form1 form;
    if (!form.loaded()) return 1;
    form.show();
    return QApplication::exec();
}
