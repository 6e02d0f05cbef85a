#pragma once

#include "platform/commandline.h"
#include "platform/settings.h"
#include "services/viewerlauncher.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace velmora {

class AlertHistory;
class AlertMonitor;
class AlertNotifications;
class AnnouncementFeed;
class Autostart;
class ChartImageFeed;
class ChartViewer;
class DemoQuoteService;
class DesktopIntegration;
class DesktopNotifier;
class Docking;
class MainWindow;
class OnDemandWindows;
class QuoteRefresh;
class SourcePolicy;
class SettingsWindow;
class TrayIcon;
class WatchList;
class ListActions;
struct ActionResult;
struct AlertNotice;

// Builds every part of the program and connects them: the watch list, the services that work
// on it, and the windows that show it. The only place that knows them all.
class Application final : public QObject
{
    Q_OBJECT

public:
    // Without a chart launcher, the viewer process of ours.
    explicit Application(AppSettings settings, std::unique_ptr<ViewerLauncher> chartLauncher = {},
                         QObject *parent = nullptr);
    ~Application() override;

    // Starts the demo service when asked for, loads the list, shows the main window and the
    // tray icon, and starts the timers and the announcement. A text for the terminal when the
    // program cannot run.
    std::optional<QString> start();

    // The settings window; each change it makes applies at once and goes into the file.
    void openSettings();
    void applySettings(const UserSettings &settings);
    // The work a command line hands over (velmora --import FILE): its exit status (0 done,
    // 1 refused) and what to print.
    std::pair<int, QString> runCommand(ListVerb verb, const QString &path);

    const AppSettings &settings() const { return m_settings; }
    WatchList &watchList() const { return *m_watchList; }
    ListActions &listActions() const { return *m_actions; }
    MainWindow &mainWindow() const { return *m_mainWindow; }
    TrayIcon &trayIcon() const;
    QuoteRefresh &quoteRefresh() const { return *m_quoteRefresh; }
    SourcePolicy &sourcePolicy() const { return *m_policy; }
    AlertMonitor &alertMonitor() const { return *m_alertMonitor; }
    AnnouncementFeed &announcementFeed() const { return *m_announcementFeed; }
    ChartViewer &chartViewer() const { return *m_chartViewer; }
    Docking &docking() const { return *m_docking; }
    // The windows opened when asked for: the add dialog, 恢复…, 持仓…, 预警记录, the chart
    // image and the alert window.
    OnDemandWindows &windows() const { return *m_windows; }
    SettingsWindow *settingsWindow() const { return m_settingsWindow.get(); }
    DesktopNotifier &notifier() const { return *m_notifier; }

    // The tray, start at login and the program's end.
    DesktopIntegration &desktop() const { return *m_desktop; }

private:
    void build();
    void connectParts();
    void connectListWindows();
    // The view settings wherever they show: amounts hidden (by the switch, or while discreet),
    // the 走势 column, what the tray icon shows.
    void applyView();
    // Discreet mode began or ended: alerts held or told, amounts hidden or not.
    void followDiscreet(bool active);
    bool startDemoService();
    void followDemo();
    // What came of something the user asked for, told over the main window.
    void report(const ActionResult &result) const;

    AppSettings m_settings;
    std::unique_ptr<ViewerLauncher> m_chartLauncher;
    std::unique_ptr<DesktopIntegration> m_desktop;
    std::unique_ptr<DemoQuoteService> m_demoService;
    std::unique_ptr<WatchList> m_watchList;
    std::unique_ptr<ListActions> m_actions;
    std::unique_ptr<SourcePolicy> m_policy;
    std::unique_ptr<QuoteRefresh> m_quoteRefresh;
    std::unique_ptr<AlertMonitor> m_alertMonitor;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<AlertHistory> m_history;
    std::unique_ptr<AlertNotifications> m_notifications;
    std::unique_ptr<ChartImageFeed> m_chartImageFeed;
    std::unique_ptr<AnnouncementFeed> m_announcementFeed;
    std::unique_ptr<ChartViewer> m_chartViewer;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    Docking *m_docking = nullptr; // the main window's
    // Declared last, so it goes first: its windows hand requests to the parts above.
    std::unique_ptr<OnDemandWindows> m_windows;
    QString m_hotkeyProblem; // why the global key of discreet mode could not be taken
};

} // namespace velmora
