#include "app/desktopintegration.h"

#include "platform/autostart.h"
#include "platform/desktopnotifier.h"
#include "platform/openurl.h"
#include "platform/unixsignals.h"
#include "services/actionresult.h"
#include "services/alertmonitor.h"
#include "services/quoterefresh.h"
#include "platform/globalhotkey.h"
#include "ui/discreetmode.h"
#include "ui/mainwindow.h"
#include "ui/trayglance.h"
#include "ui/trayicon.h"

#include <QCoreApplication>

#include <csignal>

namespace velmora {

DesktopIntegration::DesktopIntegration(const AppSettings &settings,
                                       std::function<void(const ActionResult &)> report,
                                       QObject *parent)
    : QObject(parent), m_settings(settings), m_report(std::move(report)),
      m_trayIcon(std::make_unique<TrayIcon>(settings.demo)),
      m_autostart(std::make_unique<XdgAutostart>(settings.loginArguments())),
      m_discreet(std::make_unique<DiscreetMode>()), m_hotkey(std::make_unique<GlobalHotkey>()),
      // kill and Ctrl+C end the program as the exit command does, from inside the event loop.
      m_signals(std::make_unique<UnixSignals>(std::initializer_list<int>{SIGTERM, SIGINT})),
      m_programEnd([](int status) { QCoreApplication::exit(status); })
{
    TrayIcon *tray = m_trayIcon.get();
    connect(tray, &TrayIcon::discreetRequested, m_discreet.get(), &DiscreetMode::setActive);
    connect(m_hotkey.get(), &GlobalHotkey::activated, m_discreet.get(), &DiscreetMode::toggle);
    connect(m_discreet.get(), &DiscreetMode::changed, tray, &TrayIcon::setDiscreet);
    connect(tray, &TrayIcon::homePageRequested, this, [this] { openSitePage(QStringLiteral("/")); });
    connect(tray, &TrayIcon::membershipPageRequested, this,
            [this] { openSitePage(QStringLiteral("/huiyuan/")); });
    connect(tray, &TrayIcon::startAtLoginRequested, this, [this] { startAtLogin(true); });
    connect(tray, &TrayIcon::noStartAtLoginRequested, this, [this] { startAtLogin(false); });
    connect(tray, &TrayIcon::exitRequested, this, &DesktopIntegration::quit);
    connect(m_signals.get(), &UnixSignals::received, this, &DesktopIntegration::quit);
    // Log-off and shutdown: nothing here vetoes the session (commitDataRequest is left alone);
    // the session's quit closes the main window from code, which ends the program, and
    // whatever way the program quits, the icon goes first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_trayIcon->hide(); });
}

DesktopIntegration::~DesktopIntegration() = default;

void DesktopIntegration::connectTo(MainWindow &window, AlertMonitor &alerts, QuoteRefresh &refresh,
                                   DesktopNotifier &notifier)
{
    TrayIcon *tray = m_trayIcon.get();
    connect(tray, &TrayIcon::clicked, &window, &MainWindow::showFromTray);
    connect(tray, &TrayIcon::doubleClicked, &window, &MainWindow::restoreFromTray);
    connect(&notifier, &DesktopNotifier::viewRequested, &window, &MainWindow::showFromTray);
    connect(&window, &MainWindow::quitRequested, this, &DesktopIntegration::quit);
    connect(tray, &TrayIcon::alertsOnRequested, &alerts, &AlertMonitor::enableAlerts);
    connect(tray, &TrayIcon::alertsOffRequested, &alerts, &AlertMonitor::disableAlerts);
    connect(&refresh, &QuoteRefresh::statusChanged, tray, &TrayIcon::setStatusLine);
    tray->setStatusLine(refresh.status());
}

void DesktopIntegration::followList(const WatchList &list)
{
    m_glance = std::make_unique<TrayGlance>(list, *m_trayIcon);
}

std::optional<QString> DesktopIntegration::setDiscreetHotkey(const QString &hotkey)
{
    const auto problem = m_hotkey->setHotkey(hotkey);
    // The item names the key only while pressing it works.
    m_trayIcon->setDiscreetHotkey(m_hotkey->hotkey());
    return problem;
}

void DesktopIntegration::openSitePage(const QString &path) const
{
    // The program has no message of its own for a browser that does not start.
    OpenInBrowser(AppSettings::join(m_settings.siteBase, path));
}

void DesktopIntegration::quit()
{
    m_trayIcon->hide();
    m_programEnd(0);
}

void DesktopIntegration::startAtLogin(bool on)
{
    const auto failure = on ? m_autostart->registerAtLogin() : m_autostart->unregisterAtLogin();
    if (failure)
        m_report(ActionResult::refused(*failure));
}

void DesktopIntegration::setProgramEnd(std::function<void(int)> end)
{
    m_programEnd = std::move(end);
}

void DesktopIntegration::setAutostart(std::unique_ptr<Autostart> autostart)
{
    m_autostart = std::move(autostart);
}

} // namespace velmora
