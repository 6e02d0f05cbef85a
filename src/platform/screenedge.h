#pragma once

#include <QRect>

class QWindow;

namespace velmora {

enum class ScreenEdge { None, Top, Left, Right };

// Tells the window manager that window keeps a sliver `thickness` pixels wide at the given edge
// of the screen, along the window's frame (an EWMH partial strut). Window managers that keep a
// good part of every window on screen (openbox keeps a tenth) let a window that reserves an
// edge sit beyond it, and they keep other windows from covering the sliver, so the pointer can
// always reach it. ScreenEdge::None gives the edge back. Only X11 has this; elsewhere nothing
// happens.
// screen is the geometry of the screen whose edge it is; thickness counts from that edge.
void ReserveScreenEdge(QWindow *window, ScreenEdge edge, int thickness, const QRect &frame,
                       const QRect &screen);

} // namespace velmora
