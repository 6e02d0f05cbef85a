#pragma once

#include <QIcon>

namespace velmora {

// The program's icon in its three sizes: the window icon of every window and the tray icon.
QIcon AppIcon();

} // namespace velmora
