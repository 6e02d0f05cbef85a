#include "ui/docking.h"

#include "core/dockmove.h"
#include "platform/screenmetrics.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace velmora {

Docking::Docking(QWidget *window) : QObject(window), m_window(window), m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("docking"));
    m_timer->setObjectName(QStringLiteral("Timer3"));
    m_timer->setInterval(kIntervalMs);
    // A Wayland compositor places every window itself; moves there would only be ignored.
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return;
    connect(m_timer, &QTimer::timeout, this, &Docking::tick);
    window->installEventFilter(this);
}

void Docking::start()
{
    m_timer->start();
}

bool Docking::eventFilter(QObject *watched, QEvent *event)
{
    // A window that goes to the tray gives its edge back.
    if (watched == m_window && event->type() == QEvent::Hide)
        reserve(ScreenEdge::None, 0, {}, {});
    return QObject::eventFilter(watched, event);
}

void Docking::reserve(ScreenEdge edge, int thickness, const QRect &frame, const QRect &screen)
{
    // Each change makes the window manager work out the free screen area again: say it once.
    if (edge == m_reserved && thickness == m_reservedThickness && frame == m_reservedFrame)
        return;
    ReserveScreenEdge(m_window->windowHandle(), edge, thickness, frame, screen);
    m_reserved = edge;
    m_reservedThickness = thickness;
    m_reservedFrame = frame;
}

void Docking::tick()
{
    // A hidden window sits in the tray, minimised; a maximised one is not docked.
    if (!m_window->isVisible() || m_window->isMinimized() || m_window->isMaximized() ||
        m_window->isFullScreen())
        return;
    QWindow *handle = m_window->windowHandle();
    const QRect frame = m_window->frameGeometry();
    // The screen that holds the window's centre: its edges are the ones the window docks at.
    const QScreen *screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = m_window->screen();
    if (!screen || !handle)
        return;

    const QPoint pointer = QCursor::pos();
    const QRect area = screen->geometry();
    const DockStep step = DecideDockStep(
        {pointer.x(), pointer.y()},
        {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()},
        {area.left(), area.top(), area.width(), area.height()}, TwipsPerPixel());
    if (step.kind == DockMove::Kind::None) {
        reserve(ScreenEdge::None, 0, {}, {});
        return;
    }

    QRect target = frame;
    if (step.kind == DockMove::Kind::SetTop)
        target.moveTop(step.pixels);
    else
        target.moveLeft(step.pixels);

    // Tucking away reserves the sliver first, so the window manager lets the window go past
    // the edge; bringing it back gives the edge up.
    if (step.show) {
        reserve(ScreenEdge::None, 0, {}, {});
    } else if (step.kind == DockMove::Kind::SetTop) {
        reserve(ScreenEdge::Top, qMax(1, target.bottom() + 1 - area.top()), target, area);
    } else if (target.left() < area.center().x()) {
        reserve(ScreenEdge::Left, qMax(1, target.right() + 1 - area.left()), target, area);
    } else {
        reserve(ScreenEdge::Right, qMax(1, area.right() + 1 - target.left()), target, area);
    }

    // The frame's own position: QWidget::move() can land a frame's width off while the window
    // manager is still catching up with an earlier move.
    handle->setFramePosition(target.topLeft());
    if (step.show)
        m_window->show();
}

} // namespace velmora
