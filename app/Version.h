#pragma once

#include <QString>
#include <QtGlobal>

namespace voidbroom {

// What the ABOUT panel tells about the program.
inline const QString kDesigner = QStringLiteral("the Voidbroom project");
#if defined(__clang__)
inline const QString kCompiler = QStringLiteral("Clang " __clang_version__ ", Qt " QT_VERSION_STR);
#else
inline const QString kCompiler = QStringLiteral("GCC " __VERSION__ ", Qt " QT_VERSION_STR);
#endif
// Placeholders until the project has an address and a site of its own.
inline const QString kContactAddress = QStringLiteral("voidbroom@example.org");
inline const QString kWebsite = QStringLiteral("https://example.org/voidbroom");
inline const QString kNotice = QStringLiteral("Freeware");

}  // namespace voidbroom
