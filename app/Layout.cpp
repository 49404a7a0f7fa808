#include "app/Layout.h"

namespace voidbroom::layout {

void registerFontSubstitutes() {
    QFont::insertSubstitutions("Segoe UI", {"Open Sans", "Noto Sans", "DejaVu Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
}

}  // namespace voidbroom::layout
