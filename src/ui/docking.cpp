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

namespace {

float twips(int pixels)
{
    return static_cast<float>(PixelsToTwips(pixels));
}

} // namespace

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
        reserve(ScreenEdge::None, 0, {});
    return QObject::eventFilter(watched, event);
}

void Docking::reserve(ScreenEdge edge, int thickness, const QRect &frame)
{
    // Each change makes the window manager work out the free screen area again: say it once.
    if (edge == m_reserved && thickness == m_reservedThickness && frame == m_reservedFrame)
        return;
    ReserveScreenEdge(m_window->windowHandle(), edge, thickness, frame);
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
    const QScreen *screen = QGuiApplication::primaryScreen();
    QWindow *handle = m_window->windowHandle();
    if (!screen || !handle)
        return;

    const QPoint pointer = QCursor::pos();
    const QRect frame = m_window->frameGeometry();
    const int screenWidth = screen->geometry().width();
    const PixelRect rc{frame.left(), frame.top(), frame.left() + frame.width(),
                       frame.top() + frame.height()};
    const FormTwips form{twips(frame.x()), twips(frame.y()), twips(frame.width()),
                         twips(frame.height())};
    const DockMove move = DecideDockMove({pointer.x(), pointer.y()}, rc, WindowState::Normal,
                                         form, twips(screenWidth));
    if (move.kind == DockMove::Kind::None) {
        reserve(ScreenEdge::None, 0, {});
        return;
    }

    QRect target = frame;
    if (move.kind == DockMove::Kind::SetTop)
        target.moveTop(TwipsToPixels(move.value));
    else
        target.moveLeft(TwipsToPixels(move.value));

    // Tucking away reserves the sliver first, so the window manager lets the window go past
    // the edge; bringing it back gives the edge up.
    if (move.show) {
        reserve(ScreenEdge::None, 0, {});
    } else if (move.kind == DockMove::Kind::SetTop) {
        reserve(ScreenEdge::Top, qMax(1, target.bottom() + 1), target);
    } else if (target.left() < screenWidth / 2) {
        reserve(ScreenEdge::Left, qMax(1, target.right() + 1), target);
    } else {
        reserve(ScreenEdge::Right, qMax(1, screenWidth - target.left()), target);
    }

    // The frame's own position: QWidget::move() can land a frame's width off while the window
    // manager is still catching up with an earlier move.
    handle->setFramePosition(target.topLeft());
    if (move.show)
        m_window->show();
}

} // namespace velmora
