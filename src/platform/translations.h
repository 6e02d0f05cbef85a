#pragma once

#include <QStringList>

namespace velmora {

// Loads Qt's own texts in Chinese ("确定", "复制" ...) from the catalogues named (qtbase, and
// qtwebengine in the chart viewer), whatever the desktop's locale: every text the program
// shows is Chinese, a desktop running under LANG=C.UTF-8 included. Needs the application
// object. Returns how many catalogues were found.
int InstallChineseTranslations(const QStringList &catalogues = {QStringLiteral("qtbase")});

} // namespace velmora
