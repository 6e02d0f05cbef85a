#include "app/application.h"

#include "core/marketsymbol.h"
#include "core/thresholdedit.h"
#include "demo/demoservice.h"
#include "platform/desktopnotifier.h"
#include "platform/filechooser.h"
#include "platform/textcodec.h"
#include "platform/autostart.h"
#include "platform/messages.h"
#include "platform/openurl.h"
#include "platform/unixsignals.h"
#include "services/alertmonitor.h"
#include "services/alertnotifications.h"
#include "services/chartimagefeed.h"
#include "services/listtransfer.h"
#include "services/announcementfeed.h"
#include "services/chartviewer.h"
#include "services/quoterefresh.h"
#include "services/quotesources.h"
#include "services/stocklookup.h"
#include "services/viewerlauncher.h"
#include "ui/addstockdialog.h"
#include "ui/alertwindow.h"
#include "ui/chartimagewindow.h"
#include "ui/docking.h"
#include "ui/mainwindow.h"
#include "ui/restoredialog.h"
#include "ui/settingswindow.h"
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
        if (!startDemoService())
            return QStringLiteral("无法启动内置演示行情服务（127.0.0.1）。");
        m_settings.chartBase = m_settings.siteBase = m_demoService->baseUrl();
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
    // Once the window is up, so a message has something to stand in front of.
    QStringList said;
    if (loadError)
        said << LoadFailureText(*loadError);
    if (!m_settings.userSettingsProblems.isEmpty())
        said << m_settings.userSettingsProblems;
    for (const QString &text : std::as_const(said))
        QTimer::singleShot(0, m_mainWindow.get(), [this, text] { Messages::warn(m_mainWindow.get(), text); });
    return std::nullopt;
}

void Application::build()
{
    m_watchList = std::make_unique<WatchList>(m_settings.dataDir.toStdString());
    m_sources = std::make_unique<QuoteSources>(
        QuoteSources::Bases{m_settings.quoteBase,
                            m_demoService ? m_demoService->baseUrl() : QUrl(),
                            m_settings.tencentBase, m_settings.sinaBase},
        m_settings.user);
    m_quoteRefresh = std::make_unique<QuoteRefresh>(*m_watchList, *m_sources);
    m_alertMonitor = std::make_unique<AlertMonitor>(*m_watchList, *m_sources);
    m_notifier = std::make_unique<DesktopNotifier>();
    m_notifications = std::make_unique<AlertNotifications>(*m_watchList, *m_alertMonitor,
                                                           *m_sources, *m_notifier);
    m_notifications->setEnabled(m_settings.user.notifications, m_settings.user.sound);
    m_chartImageFeed = std::make_unique<ChartImageFeed>(m_settings.chartImageBase);
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
    connect(window, &MainWindow::chartRequested, this, &Application::showCharts);
    connect(window, &MainWindow::thresholdEdited, this, &Application::editThreshold);
    connect(window, &MainWindow::importRequested, this, &Application::importFromChosenFile);
    connect(window, &MainWindow::exportRequested, this, &Application::exportToChosenFile);
    connect(window, &MainWindow::restoreRequested, this, &Application::openRestore);
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
    connect(tray, &TrayIcon::settingsRequested, this, &Application::openSettings);
    connect(tray, &TrayIcon::exitRequested, this, &Application::quit);
    connect(m_notifier.get(), &DesktopNotifier::viewRequested, this, [this] {
        m_mainWindow->showFromTray();
    });
    connect(m_watchList.get(), &WatchList::snapshotFailed, this, [this](const StoreError &error) {
        Messages::warn(m_mainWindow.get(),
                       QStringLiteral("无法在 backups 文件夹中保存修改前的副本（%1：%2）。\n修改照常进行；"
                                      "本次运行不再提示。")
                           .arg(QString::fromStdString(error.file), ReasonText(error)));
    });
    connect(m_chartImageFeed.get(), &ChartImageFeed::imageReady, this, [this](const QImage &image) {
        if (m_chartImageWindow)
            m_chartImageWindow->showImage(m_chartImageFeed->symbol(), image);
    });
    connect(m_chartImageFeed.get(), &ChartImageFeed::failed, this, [this](const QString &why) {
        if (m_chartImageWindow)
            m_chartImageWindow->showFailure(m_chartImageFeed->symbol(), why);
    });

    connect(m_alertMonitor.get(), &AlertMonitor::alertRaised, this, &Application::showAlert);
    // The tray tip's second line: the source and its last good refresh, or when it tries again.
    connect(m_quoteRefresh.get(), &QuoteRefresh::statusChanged, tray, &TrayIcon::setStatusLine);
    tray->setStatusLine(m_quoteRefresh->status());

    // Log-off and shutdown: nothing here vetoes the session (commitDataRequest is left alone);
    // the session's quit closes the main window from code, which ends the program, and
    // whatever way the program quits, the icon goes first.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_trayIcon->hide(); });
    connect(m_signals.get(), &UnixSignals::received, this, &Application::quit);
}

bool Application::startDemoService()
{
    if (m_demoService)
        return true;
    auto service = std::make_unique<DemoQuoteService>();
    if (!service->start())
        return false;
    m_demoService = std::move(service);
    if (m_sources)
        m_sources->setDemoBase(m_demoService->baseUrl());
    return true;
}

void Application::openSettings()
{
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(m_settings.user);
        connect(m_settingsWindow.get(), &SettingsWindow::settingsChanged, this,
                &Application::applySettings);
    }
    m_settingsWindow->showSettings(m_settings.user);
}

void Application::applySettings(const UserSettings &settings)
{
    if (settings.source == QuoteSourceKind::Demo && !startDemoService()) {
        Messages::warn(m_settingsWindow.get(), QStringLiteral("无法启动内置演示行情服务，行情来源没有改变。"));
        return;
    }
    // Only what the user changed goes into the file: a value given for this run alone (an
    // environment variable, --demo) stays out of it.
    const UserSettings before = m_settings.user;
    UserSettings saved = m_settings.saved;
    if (settings.source != before.source)
        saved.source = settings.source;
    if (settings.customBase != before.customBase)
        saved.customBase = settings.customBase;
    if (settings.intervalSeconds != before.intervalSeconds)
        saved.intervalSeconds = settings.intervalSeconds;
    if (settings.slowDownOutsideHours != before.slowDownOutsideHours)
        saved.slowDownOutsideHours = settings.slowDownOutsideHours;
    if (settings.notifications != before.notifications)
        saved.notifications = settings.notifications;
    if (settings.sound != before.sound)
        saved.sound = settings.sound;

    m_settings.user = settings;
    m_sources->apply(settings);
    m_notifications->setEnabled(settings.notifications, settings.sound);
    followDemo();
    if (saved == m_settings.saved)
        return;
    if (const auto failure = SaveUserSettings(m_settings.userSettingsPath, saved))
        Messages::warn(m_settingsWindow.get(), *failure);
    else
        m_settings.saved = saved;
}

void Application::followDemo()
{
    const bool demo = m_settings.user.source == QuoteSourceKind::Demo;
    m_settings.demo = demo;
    m_mainWindow->setDemo(demo);
    m_trayIcon->setDemo(demo);
    if (m_alertWindow)
        m_alertWindow->setDemo(demo);
}

void Application::showCharts(const QList<int> &positions)
{
    if (!m_sources->isPublic()) {
        m_chartViewer->showCharts(positions);
        return;
    }
    // The image shows one stock: the last selected row's, as the viewer ends on it.
    std::optional<int> last;
    for (const int position : positions) {
        if (position >= 0 && position < m_watchList->rowCount() && (!last || position > *last))
            last = position;
    }
    if (!last)
        return;
    const std::string &code = m_watchList->rowAt(*last).entry.code;
    const auto symbol = MarketSymbol(code);
    if (!symbol) {
        Messages::warn(m_mainWindow.get(), QString::fromStdString(UnaskableCodeText(code)));
        return;
    }
    if (!m_chartImageWindow) {
        m_chartImageWindow = std::make_unique<ChartImageWindow>(m_settings.siteHost());
        connect(m_chartImageWindow.get(), &ChartImageWindow::closed, m_chartImageFeed.get(),
                &ChartImageFeed::stop);
    }
    m_chartImageWindow->showPending(QString::fromStdString(*symbol));
    m_chartImageWindow->show();
    m_chartImageWindow->raise();
    m_chartImageWindow->activateWindow();
    m_chartImageFeed->show(*symbol);
}

void Application::editThreshold(int position, int column, const QString &text)
{
    if (position < 0 || position >= m_watchList->rowCount())
        return;
    const ThresholdEdit edit = ReadThresholdEdit(
        EncodeTyped(text), EncodeTyped(m_watchList->text(position, column)));
    switch (edit.outcome) {
    case ThresholdEdit::Outcome::Unchanged:
        return;
    case ThresholdEdit::Outcome::Refused:
        Messages::warn(m_mainWindow.get(),
                       QStringLiteral("%1只能留空或填写一个数字，例如 10.5。没有保存。")
                           .arg(WatchList::caption(column)));
        return;
    case ThresholdEdit::Outcome::Store:
        break;
    }
    if (const auto error = m_watchList->setThreshold(position, column, edit.value))
        Messages::warn(m_mainWindow.get(), StoreFailureText(*error, WatchListChange::Edit));
}

void Application::importFromChosenFile()
{
    // A run that may not write says so before a file is even chosen.
    if (const auto &refusal = m_watchList->refusal()) {
        Messages::warn(m_mainWindow.get(), StoreFailureText(*refusal, WatchListChange::Import));
        return;
    }
    const QString path = ChooseFileToOpen(m_mainWindow.get(), QStringLiteral("导入自选股"),
                                          QStringLiteral("表格文件 (*.csv *.txt *.tsv);;所有文件 (*)"));
    if (!path.isEmpty())
        tell(ImportList(*m_watchList, path));
}

void Application::exportToChosenFile()
{
    const QString path = ChooseFileToSave(m_mainWindow.get(), QStringLiteral("导出自选股"),
                                          QStringLiteral("自选股.csv"),
                                          QStringLiteral("CSV 表格 (*.csv)"));
    if (!path.isEmpty())
        tell(ExportList(*m_watchList, path));
}

void Application::tell(const TransferOutcome &outcome)
{
    (outcome.ok ? Messages::tell : Messages::warn)(m_mainWindow.get(), outcome.message);
}

void Application::openRestore()
{
    if (const auto &refusal = m_watchList->refusal()) {
        Messages::warn(m_mainWindow.get(), StoreFailureText(*refusal, WatchListChange::Restore));
        return;
    }
    m_restoreDialog = std::make_unique<RestoreDialog>(m_watchList->snapshots());
    connect(m_restoreDialog.get(), &RestoreDialog::restoreRequested, this,
            &Application::restoreSnapshot);
    m_restoreDialog->show();
    m_restoreDialog->raise();
    m_restoreDialog->activateWindow();
}

void Application::restoreSnapshot(const std::string &name)
{
    if (const auto error = m_watchList->restore(name)) {
        Messages::warn(m_mainWindow.get(), StoreFailureText(*error, WatchListChange::Restore));
        return;
    }
    Messages::tell(m_mainWindow.get(), QStringLiteral("自选股列表已恢复到 %1 的样子，共 %2 只股票。")
                                           .arg(RestoreDialog::timeOf(name))
                                           .arg(m_watchList->rowCount()));
}

std::pair<int, QString> Application::runCommand(const QString &verb, const QString &path)
{
    const TransferOutcome outcome = verb == QLatin1String("import") ? ImportList(*m_watchList, path)
                                                                  : ExportList(*m_watchList, path);
    return {outcome.ok ? 0 : 1, outcome.message};
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
    m_addDialog = new AddStockDialog(*m_watchList, new StockLookup(*m_sources),
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
