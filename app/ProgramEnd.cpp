#include "app/ProgramEnd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace voidbroom {

void endAtOnce(int code) {
    if (QGuiApplication::clipboard()->ownsClipboard()) return;
    std::fflush(nullptr);
    std::_Exit(code);
}

}  // namespace voidbroom
