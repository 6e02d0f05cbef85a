#include "ui/discreetmode.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace velmora {

namespace {

// The tray icon's own small window on X11 (embedded into the panel) stays: it is the way back.
bool isTrayIcon(const QWidget *window)
{
    return window->windowFlags().testFlag(Qt::BypassWindowManagerHint) ||
           qstrcmp(window->metaObject()->className(), "QSystemTrayIconSys") == 0;
}

} // namespace

DiscreetMode::DiscreetMode(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("discreetMode"));
}

void DiscreetMode::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active) {
        // An open menu goes first, then every window that shows.
        while (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        m_hidden.clear();
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && !isTrayIcon(window)) {
                m_hidden.push_back({window, window->frameGeometry().topLeft()});
                window->hide();
            }
        }
    } else {
        for (const auto &[window, at] : m_hidden) {
            if (!window)
                continue;
            // Put back where it was, or the window manager places it anew; through the native
            // window, as a move of the widget can land a frame's width off meanwhile.
            window->show();
            if (QWindow *handle = window->windowHandle())
                handle->setFramePosition(at);
        }
        m_hidden.clear();
    }
    emit changed(active);
}

} // namespace velmora
