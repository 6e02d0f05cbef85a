#include "mainwin/traycontroller.h"

#include "mainwin/form1.h"
#include "platform/autostart.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "platform/unixsignals.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QMenu>
#include <QWindow>

#include <csignal>

namespace velmora {

TrayController::TrayController(Form1 *form)
    : QObject(form), m_form(form),
      m_autostart(std::make_unique<XdgAutostart>(form->settings().loginArguments()))
{
    setObjectName(QStringLiteral("trayController"));
    m_programEnd = [](int status) { QCoreApplication::exit(status); };

    connect(form->trayIcon(), &QSystemTrayIcon::activated, this, &TrayController::trayActivated);

    auto onItem = [this](const char *name, auto handler) {
        if (QAction *item = m_form->action(name))
            connect(item, &QAction::triggered, this, handler);
    };
    // mn1_Click: the maker's home page; mn15_Click: the membership page.
    onItem("mn1", [this] { openSitePage(QStringLiteral("/")); });
    onItem("mn15", [this] { openSitePage(QStringLiteral("/huiyuan/")); });
    // mn12_Click, mn13_Click: start at login, or no longer.
    onItem("mn12", [this] {
        if (const auto failure = m_autostart->registerAtLogin())
            Messages::warn(m_form, *failure);
    });
    onItem("mn13", [this] {
        if (const auto failure = m_autostart->unregisterAtLogin())
            Messages::warn(m_form, *failure);
    });
    // mn16_Click: exit.
    onItem("mn16", [this] { endProgram(); });
    // The dashed items (mn21, mn18, mn11, mn14) are plain items with no handler: choosing one
    // only closes the menu.

    // Log-off and shutdown: nothing here vetoes the session (commitDataRequest is left alone);
    // the session's quit closes the main window from code, which ends the program below, and
    // whatever way the program quits, the icon goes first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_form->trayIcon()->hide(); });

    // kill and Ctrl+C end the program as the exit command does, from inside the event loop.
    m_signals = new UnixSignals({SIGTERM, SIGINT}, this);
    connect(m_signals, &UnixSignals::received, this, [this](int) { endProgram(); });
}

TrayController::~TrayController() = default;

bool TrayController::trayAvailable() const
{
    return m_trayProbe ? m_trayProbe() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayController::setTrayProbe(std::function<bool()> probe)
{
    m_trayProbe = std::move(probe);
}

void TrayController::setProgramEnd(std::function<void(int)> end)
{
    m_programEnd = std::move(end);
}

void TrayController::setAutostart(std::unique_ptr<Autostart> autostart)
{
    m_autostart = std::move(autostart);
}

void TrayController::makeTopmost()
{
    // Set once and never cleared: the first tray click makes the window topmost for good.
    // setWindowFlag() would re-create the native window, which forgets where a hidden window
    // was; the window system is told through the existing window instead.
    const Qt::WindowFlags flags = m_form->windowFlags() | Qt::WindowStaysOnTopHint;
    if (flags == m_form->windowFlags())
        return;
    m_form->overrideWindowFlags(flags);
    if (QWindow *window = m_form->windowHandle())
        window->setFlags(flags);
}

void TrayController::trayActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger: {
        // Left button up (514): visible and on top. A hidden or minimised window also comes
        // back restored, since many tray hosts never send the double click that would do it.
        const bool restore = !m_form->isVisible() || m_form->isMinimized();
        makeTopmost();
        if (restore)
            m_form->showNormal();
        else
            m_form->show();
        m_form->raise();
        m_form->activateWindow();
        break;
    }
    case QSystemTrayIcon::DoubleClick: // 515: restored, visible and on top
        makeTopmost();
        m_form->showNormal();
        m_form->raise();
        m_form->activateWindow();
        break;
    case QSystemTrayIcon::Context: // 517: the tray menu at the pointer
        m_form->trayMenu()->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void TrayController::windowStateChanged()
{
    // Form_Resize: minimised means hidden, once there is a tray to bring it back from. The hide
    // waits for the state change to finish, and is dropped if the window was restored meanwhile.
    if (!m_form->isMinimized() || !trayAvailable())
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_form->isMinimized())
                m_form->hide();
        },
        Qt::QueuedConnection);
}

void TrayController::closeRequested(QCloseEvent *event)
{
    // Form_QueryUnload: the user's own close (the window manager's close button, a spontaneous
    // event) puts the window away in the tray; any other close ends the program. The window is
    // hidden straight away rather than minimised first: asking the window manager to iconify a
    // window that is withdrawn a moment later leaves some window managers (openbox) with a
    // window they no longer map when it is shown again.
    if (event->spontaneous() && trayAvailable()) {
        event->ignore();
        m_form->hide();
        return;
    }
    event->accept();
    endProgram();
}

void TrayController::endProgram()
{
    m_form->trayIcon()->hide();
    m_programEnd(0);
}

void TrayController::bringToFront()
{
    m_form->showNormal();
    m_form->raise();
    m_form->activateWindow();
}

void TrayController::openSitePage(const QString &path)
{
    // The program has no message of its own for a browser that does not start.
    OpenInBrowser(AppSettings::join(m_form->settings().siteBase, path));
}

} // namespace velmora
