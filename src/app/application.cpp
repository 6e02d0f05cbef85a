#include "app/application.h"

#include "app/desktopintegration.h"
#include "app/listcommand.h"
#include "app/ondemandwindows.h"
#include "demo/demoservice.h"
#include "platform/openurl.h"
#include "platform/desktopnotifier.h"
#include "services/alerthistory.h"
#include "services/alertmonitor.h"
#include "services/alertnotifications.h"
#include "services/announcementfeed.h"
#include "services/chartimagefeed.h"
#include "services/chartviewer.h"
#include "services/listactions.h"
#include "services/quoterefresh.h"
#include "services/sourcepolicy.h"
#include "ui/discreetmode.h"
#include "ui/docking.h"
#include "ui/mainwindow.h"
#include "ui/resultmessage.h"
#include "ui/settingswindow.h"
#include "ui/trayglance.h"
#include "ui/trayicon.h"
#include "watchlist/changefailure.h"
#include "watchlist/watchlist.h"

#include <QApplication>
#include <QTimer>

namespace velmora {

Application::Application(AppSettings settings, std::unique_ptr<ViewerLauncher> chartLauncher,
                         QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_chartLauncher(std::move(chartLauncher)),
      m_desktop(std::make_unique<DesktopIntegration>(
          m_settings, [this](const ActionResult &result) { report(result); }))
{
    setObjectName(QStringLiteral("application"));
}

Application::~Application() = default;

std::optional<QString> Application::start()
{
    // Demo mode: the built-in quote service answers quotes, charts and the site alike.
    if (m_settings.demo) {
        if (!startDemoService())
            return QStringLiteral("无法启动内置演示行情服务（127.0.0.1）。");
        m_settings.chartBase = m_settings.siteBase = m_demoService->baseUrl();
    }
    build();
    connectParts();

    trayIcon().show();
    const auto loadError = m_watchList->load();
    m_quoteRefresh->start();
    m_docking->start();
    m_mainWindow->showAnnouncement(m_announcementFeed->document());
    m_announcementFeed->reload();
    m_mainWindow->show();
    if (m_settings.user.discreetAtStart)
        m_desktop->discreet().setActive(true);
    // Once the window is up, so a message has something to stand in front of.
    const auto &holdingsProblem = m_watchList->holdingsProblem();
    for (const QString &text : {loadError ? LoadFailureText(*loadError) : QString(),
                                holdingsProblem ? HoldingsFailureText(*holdingsProblem) : QString(),
                                m_settings.userSettingsProblems}) {
        if (!text.isEmpty())
            QTimer::singleShot(0, this, [this, text] { report(ActionResult::refused(text)); });
    }
    return std::nullopt;
}

void Application::build()
{
    m_watchList = std::make_unique<WatchList>(m_settings.dataDir.toStdString());
    m_actions = std::make_unique<ListActions>(*m_watchList);
    m_policy = std::make_unique<SourcePolicy>(
        SourcePolicy::Bases{m_settings.quoteBase, m_demoService ? m_demoService->baseUrl() : QUrl(),
                            m_settings.tencentBase, m_settings.sinaBase},
        m_settings.user);
    m_quoteRefresh = std::make_unique<QuoteRefresh>(*m_watchList, *m_policy);
    m_alertMonitor = std::make_unique<AlertMonitor>(*m_watchList, *m_policy);
    m_notifier = std::make_unique<DesktopNotifier>();
    m_history = std::make_unique<AlertHistory>(m_settings.dataDir.toStdString());
    m_notifications = std::make_unique<AlertNotifications>(*m_watchList, *m_alertMonitor,
                                                           *m_policy, *m_notifier, *m_history);
    m_notifications->setEnabled(m_settings.user.notifications, m_settings.user.sound);
    m_notifications->setLimits(m_settings.user.deadBandPercent, m_settings.user.changeStepPercent);
    m_chartImageFeed = std::make_unique<ChartImageFeed>(m_settings.chartImageBase);
    m_announcementFeed = std::make_unique<AnnouncementFeed>(
        AppSettings::join(m_settings.siteBase, QStringLiteral("/gonggao.htm")));
    m_chartViewer = std::make_unique<ChartViewer>(*m_watchList, m_settings.chartBase,
                                                  m_settings.siteHost(), std::move(m_chartLauncher));
    m_mainWindow = std::make_unique<MainWindow>(*m_watchList, m_settings.siteHost(), m_settings.demo);
    m_mainWindow->setSource(SourceTitle(m_settings.user.source, m_settings.user.customBase),
                            m_settings.demo);
    m_docking = new Docking(m_mainWindow.get());
    m_windows = std::make_unique<OnDemandWindows>(OnDemandWindows::Parts{
        m_settings, *m_watchList, *m_actions, *m_policy, *m_alertMonitor, *m_history,
        *m_chartImageFeed, *m_desktop, *m_mainWindow});
    m_desktop->followList(*m_watchList);
}

void Application::connectListWindows()
{
    MainWindow *window = m_mainWindow.get();
    connect(window, &MainWindow::addRequested, m_windows.get(), &OnDemandWindows::openAddDialog);
    connect(window, &MainWindow::removeRequested, this,
            [this](int position) { report(m_actions->remove(position)); });
    connect(window, &MainWindow::thresholdEdited, this, [this](int position, int column, const QString &text) {
        report(m_actions->editThreshold(position, column, text));
    });
    connect(window, &MainWindow::chartRequested, this, [this](const QList<int> &positions) {
        report(m_chartViewer->show(positions, m_policy->isPublic()));
    });
    connect(m_chartViewer.get(), &ChartViewer::imageWanted, m_windows.get(), &OnDemandWindows::showChartImage);
    connect(window, &MainWindow::importRequested, this, [this] {
        // A run that may not write says so before a file is even chosen.
        if (const auto refusal = m_actions->refusalBeforeAsking(WatchListChange::Import))
            return report(ActionResult::refused(*refusal));
        if (const QString path = m_mainWindow->askFileToImport(); !path.isEmpty())
            report(m_actions->importAnyTable(path));
    });
    connect(window, &MainWindow::exportRequested, this, [this](const QString &path, bool holdings) {
        report(holdings ? m_actions->exportHoldings(path) : m_actions->exportFile(path));
    });
    connect(window, &MainWindow::holdingsRequested, m_windows.get(), &OnDemandWindows::openHoldings);
    connect(window, &MainWindow::restoreRequested, m_windows.get(), &OnDemandWindows::openRestore);
}

void Application::connectParts()
{
    connectListWindows();
    MainWindow *window = m_mainWindow.get();
    connect(window, &MainWindow::listClicked, m_announcementFeed.get(), &AnnouncementFeed::reload);
    connect(window, &MainWindow::stripLinkActivated, this, [](const QUrl &url) { OpenInBrowser(url); });
    for (auto loaded : {&AnnouncementFeed::pageLoaded, &AnnouncementFeed::loadFinished})
        connect(m_announcementFeed.get(), loaded, window, &MainWindow::hideStripScrollBars);
    connect(m_announcementFeed.get(), &AnnouncementFeed::loadFinished, window,
            &MainWindow::setAnnouncementShown);
    connect(m_quoteRefresh.get(), &QuoteRefresh::statusChanged, window, &MainWindow::setStatusLine);
    window->setStatusLine(m_quoteRefresh->status());

    m_desktop->connectTo(*window, *m_alertMonitor, *m_quoteRefresh, *m_notifier);
    connect(&trayIcon(), &TrayIcon::addStockRequested, m_windows.get(), &OnDemandWindows::openAddDialog);
    connect(&trayIcon(), &TrayIcon::settingsRequested, this, &Application::openSettings);
    connect(m_alertMonitor.get(), &AlertMonitor::alertRaised, m_windows.get(), &OnDemandWindows::showAlert);
    connect(&m_desktop->discreet(), &DiscreetMode::changed, this, &Application::followDiscreet);
    connect(&trayIcon(), &TrayIcon::alertLogRequested, m_windows.get(), &OnDemandWindows::openAlertLog);
    // Once a run: an alert is told all the same.
    connect(m_history.get(), &AlertHistory::writeFailed, this,
            [this](const QString &message) { report(ActionResult::refused(message)); });
    applyView();
    m_hotkeyProblem = m_desktop->setDiscreetHotkey(m_settings.user.discreetHotkey).value_or(QString());
}

void Application::applyView()
{
    const UserSettings &user = m_settings.user;
    const bool hideAmounts = user.hideAmounts || m_desktop->discreet().active();
    m_mainWindow->setHideAmounts(hideAmounts);
    m_mainWindow->setTrendShown(user.trend);
    m_desktop->glance().setHideAmounts(hideAmounts);
    m_desktop->glance().setShow(user.trayShow);
}

void Application::followDiscreet(bool active)
{
    // Alerts still happen meanwhile; they are told in one notification afterwards.
    m_notifications->setHeld(active);
    if (ViewerInstance *viewer = m_chartViewer->viewer())
        viewer->setDiscreet(active); // a window of its own process
    applyView();
}

bool Application::startDemoService()
{
    if (m_demoService)
        return true;
    auto service = std::make_unique<DemoQuoteService>();
    if (!service->start())
        return false;
    m_demoService = std::move(service);
    if (m_policy)
        m_policy->setDemoBase(m_demoService->baseUrl());
    return true;
}

void Application::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(m_settings.user);
        connect(m_settingsWindow.get(), &SettingsWindow::settingsChanged, this, &Application::applySettings);
    }
    m_settingsWindow->showSettings(m_settings.user);
    m_settingsWindow->setHotkeyProblem(m_hotkeyProblem);
}

void Application::applySettings(const UserSettings &settings)
{
    if (settings.source == QuoteSourceKind::Demo && !startDemoService())
        return ShowResult(m_settingsWindow.get(),
                          ActionResult::refused(QStringLiteral("无法启动内置演示行情服务，行情来源没有改变。")));
    const UserSettings before = std::exchange(m_settings.user, settings);
    m_policy->apply(settings);
    m_notifications->setEnabled(settings.notifications, settings.sound);
    m_notifications->setLimits(settings.deadBandPercent, settings.changeStepPercent);
    applyView();
    if (settings.discreetHotkey != before.discreetHotkey) {
        m_hotkeyProblem = m_desktop->setDiscreetHotkey(settings.discreetHotkey).value_or(QString());
        if (m_settingsWindow)
            m_settingsWindow->setHotkeyProblem(m_hotkeyProblem);
    }
    followDemo();
    // Only what this window changed, over the file as it is now (another program may have saved).
    if (const auto failure = SaveSettingsChange(m_settings.userSettingsPath, before, settings))
        ShowResult(m_settingsWindow.get(), ActionResult::refused(*failure));
}

void Application::followDemo()
{
    const bool demo = m_settings.user.source == QuoteSourceKind::Demo;
    m_settings.demo = demo;
    m_mainWindow->setSource(SourceTitle(m_settings.user.source, m_settings.user.customBase), demo);
    trayIcon().setDemo(demo);
    m_windows->setDemo(demo);
}

std::pair<int, QString> Application::runCommand(ListVerb verb, const QString &path)
{
    return RunListVerb(*m_actions, verb, path);
}

void Application::report(const ActionResult &result) const
{
    ShowResult(m_mainWindow.get(), result);
}

TrayIcon &Application::trayIcon() const
{
    return m_desktop->trayIcon();
}

} // namespace velmora
