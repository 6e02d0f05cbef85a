#include "app/application.h"

#include "demo/demoservice.h"
#include "platform/autostart.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "platform/unixsignals.h"
#include "services/alertmonitor.h"
#include "services/announcementfeed.h"
#include "services/chartviewer.h"
#include "services/quoterefresh.h"
#include "services/stocklookup.h"
#include "services/viewerlauncher.h"
#include "ui/addstockdialog.h"
#include "ui/alertwindow.h"
#include "ui/docking.h"
#include "ui/mainwindow.h"
#include "ui/trayicon.h"
#include "watchlist/changefailure.h"
#include "watchlist/watchlist.h"

#include <QApplication>
#include <QTimer>

#include <csignal>

namespace velmora {

Application::Application(AppSettings settings, std::unique_ptr<ViewerLauncher> chartLauncher,
                         QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_chartLauncher(std::move(chartLauncher)),
      m_autostart(std::make_unique<XdgAutostart>(m_settings.loginArguments())),
      m_programEnd([](int status) { QCoreApplication::exit(status); })
{
    setObjectName(QStringLiteral("application"));
}

Application::~Application()
{
    // The dialog has no owner window; it must not outlive the list it adds to.
    delete m_addDialog.data();
}

std::optional<QString> Application::start()
{
    // Demo mode: the built-in quote service answers quotes, charts and the site alike.
    if (m_settings.demo) {
        m_demoService = std::make_unique<DemoQuoteService>();
        if (!m_demoService->start())
            return QStringLiteral("无法启动内置演示行情服务（127.0.0.1）。");
        m_settings.quoteBase = m_settings.chartBase = m_settings.siteBase = m_demoService->baseUrl();
    }
    build();
    connectParts();

    m_trayIcon->show();
    const auto loadError = m_watchList->load();
    m_quoteRefresh->start();
    m_docking->start();
    m_mainWindow->showAnnouncement(m_announcementFeed->document());
    m_announcementFeed->reload();
    m_mainWindow->show();
    if (loadError) {
        // Once the window is up, so the message has something to stand in front of.
        const QString text = LoadFailureText(*loadError);
        QTimer::singleShot(0, m_mainWindow.get(),
                           [this, text] { Messages::warn(m_mainWindow.get(), text); });
    }
    return std::nullopt;
}

void Application::build()
{
    m_watchList = std::make_unique<WatchList>(m_settings.dataDir.toStdString());
    m_quoteRefresh = std::make_unique<QuoteRefresh>(*m_watchList, m_settings.quoteBase);
    m_alertMonitor = std::make_unique<AlertMonitor>(*m_watchList, m_settings.quoteBase);
    m_announcementFeed = std::make_unique<AnnouncementFeed>(
        AppSettings::join(m_settings.siteBase, QStringLiteral("/gonggao.htm")));
    m_chartViewer = std::make_unique<ChartViewer>(*m_watchList, m_settings.chartBase,
                                                  m_settings.siteHost(), std::move(m_chartLauncher));
    m_mainWindow = std::make_unique<MainWindow>(*m_watchList, m_settings.siteHost(), m_settings.demo);
    m_docking = new Docking(m_mainWindow.get());
    m_trayIcon = std::make_unique<TrayIcon>(m_settings.demo);
    // kill and Ctrl+C end the program as the exit command does, from inside the event loop.
    m_signals = std::make_unique<UnixSignals>(std::initializer_list<int>{SIGTERM, SIGINT});
}

void Application::connectParts()
{
    MainWindow *window = m_mainWindow.get();
    connect(window, &MainWindow::addRequested, this, &Application::openAddDialog);
    connect(window, &MainWindow::removeRequested, this, &Application::removeRow);
    connect(window, &MainWindow::chartRequested, m_chartViewer.get(), &ChartViewer::showCharts);
    connect(window, &MainWindow::listClicked, m_announcementFeed.get(), &AnnouncementFeed::reload);
    connect(window, &MainWindow::stripLinkActivated, this, [](const QUrl &url) {
        if (url.isValid() && (url.scheme() == QLatin1String("http") ||
                              url.scheme() == QLatin1String("https")))
            OpenInBrowser(url);
    });
    connect(window, &MainWindow::quitRequested, this, &Application::quit);
    connect(m_announcementFeed.get(), &AnnouncementFeed::pageLoaded, window,
            &MainWindow::hideStripScrollBars);
    connect(m_announcementFeed.get(), &AnnouncementFeed::loadFinished, window,
            &MainWindow::hideStripScrollBars);

    TrayIcon *tray = m_trayIcon.get();
    connect(tray, &TrayIcon::clicked, window, &MainWindow::showFromTray);
    connect(tray, &TrayIcon::doubleClicked, window, &MainWindow::restoreFromTray);
    connect(tray, &TrayIcon::addStockRequested, this, &Application::openAddDialog);
    connect(tray, &TrayIcon::alertsOnRequested, m_alertMonitor.get(), &AlertMonitor::enableAlerts);
    connect(tray, &TrayIcon::alertsOffRequested, m_alertMonitor.get(),
            &AlertMonitor::disableAlerts);
    connect(tray, &TrayIcon::homePageRequested, this, [this] { openSitePage(QStringLiteral("/")); });
    connect(tray, &TrayIcon::membershipPageRequested, this,
            [this] { openSitePage(QStringLiteral("/huiyuan/")); });
    connect(tray, &TrayIcon::startAtLoginRequested, this, [this] { startAtLogin(true); });
    connect(tray, &TrayIcon::noStartAtLoginRequested, this, [this] { startAtLogin(false); });
    connect(tray, &TrayIcon::exitRequested, this, &Application::quit);

    connect(m_alertMonitor.get(), &AlertMonitor::alertRaised, this, &Application::showAlert);

    // Log-off and shutdown: nothing here vetoes the session (commitDataRequest is left alone);
    // the session's quit closes the main window from code, which ends the program, and
    // whatever way the program quits, the icon goes first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_trayIcon->hide(); });
    connect(m_signals.get(), &UnixSignals::received, this, &Application::quit);
}

void Application::showAlert(const AlertNotice &alert)
{
    if (!m_alertWindow) {
        m_alertWindow = std::make_unique<AlertWindow>(m_settings.siteHost(), m_settings.demo);
        connect(m_alertWindow.get(), &AlertWindow::alertsOffRequested, m_alertMonitor.get(),
                &AlertMonitor::disableAlerts);
        connect(m_alertWindow.get(), &AlertWindow::siteRequested, this,
                [this] { openSitePage(QStringLiteral("/")); });
    }
    m_alertWindow->presentAlert(alert);
}

AddStockDialog *Application::addDialog() const
{
    // A dialog that was closed is hidden until its deletion comes round: it counts as gone.
    return m_addDialog && m_addDialog->isVisible() ? m_addDialog.data() : nullptr;
}

void Application::openAddDialog()
{
    // A folder that cannot be written: said before anything is typed, in the words of the start.
    if (const auto &refusal = m_watchList->refusal();
        refusal && refusal->kind == StoreError::Kind::ReadOnlyFolder) {
        Messages::warn(m_mainWindow.get(), StoreFailureText(*refusal, WatchListChange::Add));
        return;
    }
    if (AddStockDialog *open = addDialog()) {
        // Shown again as it is: not reset, not placed anew.
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    m_addDialog = new AddStockDialog(*m_watchList, new StockLookup(m_settings.quoteBase),
                                     m_settings.siteHost());
    connect(m_addDialog.data(), &AddStockDialog::siteRequested, this,
            [this] { OpenInBrowser(m_settings.siteBase); });
    m_addDialog->placeBelow(m_mainWindow->frameGeometry());
    m_addDialog->show();
    m_addDialog->activateWindow();
}

void Application::removeRow(int position)
{
    // No question asked; on a failed write the row stays and a message says why.
    if (const auto error = m_watchList->removeAt(position))
        Messages::warn(m_mainWindow.get(), StoreFailureText(*error, WatchListChange::Remove));
}

void Application::quit()
{
    if (m_trayIcon)
        m_trayIcon->hide();
    m_programEnd(0);
}

void Application::bringToFront()
{
    m_mainWindow->bringToFront();
}

void Application::openSitePage(const QString &path)
{
    // The program has no message of its own for a browser that does not start.
    OpenInBrowser(AppSettings::join(m_settings.siteBase, path));
}

void Application::startAtLogin(bool on)
{
    const auto failure = on ? m_autostart->registerAtLogin() : m_autostart->unregisterAtLogin();
    if (failure)
        Messages::warn(m_mainWindow.get(), *failure);
}

void Application::setProgramEnd(std::function<void(int)> end)
{
    m_programEnd = std::move(end);
}

void Application::setAutostart(std::unique_ptr<Autostart> autostart)
{
    m_autostart = std::move(autostart);
}

} // namespace velmora
