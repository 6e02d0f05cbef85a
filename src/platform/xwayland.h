#pragma once

class QProcessEnvironment;

namespace velmora {

// Under Wayland a program may not place its own windows, so the screen-edge docking (and the
// alert window's corner, the add dialog below the main window) cannot work there; through
// XWayland they do, and the tray still works through the desktop's status-notifier service.
// True when the program should ask Qt for X11: a Wayland session that has an X display, and no
// platform chosen by the user through QT_QPA_PLATFORM.
bool PreferXWayland(const QProcessEnvironment &env);

} // namespace velmora
