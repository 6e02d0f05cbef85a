#pragma once

#include "platform/screenedge.h"

#include <QObject>

class QTimer;
class QWidget;

namespace velmora {

// Twice a second (its timer, "Timer3"), tucks the window away at the top, left or right edge of
// the screen that holds it
// while the pointer is elsewhere and brings it back when the pointer touches the sliver left
// on screen. Reads the real pointer and the window's outer frame; a minimised, hidden or
// maximised window is left alone.
//
// It needs a window manager that lets a program place its own window (X11). While tucked away
// the window reserves its sliver of the edge, without which some window managers keep a tenth
// of every window on screen. Under Wayland the compositor decides where windows go and the
// moves have no effect; the program runs through XWayland (QT_QPA_PLATFORM=xcb) to dock there.
class Docking final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 500;

    explicit Docking(QWidget *window);

    // Starts the timer; nothing stops it.
    void start();
    // One decision from the pointer and the window's frame.
    void tick();
    QTimer *timer() const { return m_timer; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reserve(ScreenEdge edge, int thickness, const QRect &frame, const QRect &screen);

    QWidget *m_window;
    QTimer *m_timer;
    ScreenEdge m_reserved = ScreenEdge::None;
    int m_reservedThickness = 0;
    QRect m_reservedFrame;
};

} // namespace velmora
