#pragma once

#include "platform/settings.h"
#include "services/viewerlauncher.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace velmora {

class AddStockDialog;
class AlertMonitor;
class AlertNotifications;
class AlertWindow;
class AnnouncementFeed;
class Autostart;
class ChartImageFeed;
class ChartImageWindow;
class ChartViewer;
class DemoQuoteService;
class DesktopNotifier;
class Docking;
class MainWindow;
class QuoteRefresh;
class QuoteSources;
class RestoreDialog;
class SettingsWindow;
class TrayIcon;
class UnixSignals;
class WatchList;
struct AlertNotice;
struct TransferOutcome;

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

    // The add dialog: a fresh one when none is open, else the open one again, as it is.
    void openAddDialog();
    // The row at position goes from the files and the list; on a failure both stay and a
    // message says why.
    void removeRow(int position);
    // Exit: the tray icon goes, then the program, at once and without asking anyone.
    void quit();
    // A second start on the same data folder.
    void bringToFront();
    // The settings window; each change it makes applies at once and goes into the file.
    void openSettings();
    void applySettings(const UserSettings &settings);
    // 查看分时 for the rows at these positions: the public chart image of the last one with a
    // public source, the chart viewer otherwise.
    void showCharts(const QList<int> &positions);
    // A take-profit or stop-loss cell edited in place.
    void editThreshold(int position, int column, const QString &text);
    // 导入…, 导出… and 恢复… of the list's menu: a file (or a copy) chosen, the work done, and
    // what came of it said.
    void importFromChosenFile();
    void exportToChosenFile();
    void openRestore();
    void restoreSnapshot(const std::string &name);
    // The same work handed over from a command line (velmora --import FILE): its exit status
    // (0 done, 1 refused) and what to print.
    std::pair<int, QString> runCommand(const QString &verb, const QString &path);

    const AppSettings &settings() const { return m_settings; }
    WatchList &watchList() const { return *m_watchList; }
    MainWindow &mainWindow() const { return *m_mainWindow; }
    TrayIcon &trayIcon() const { return *m_trayIcon; }
    QuoteRefresh &quoteRefresh() const { return *m_quoteRefresh; }
    QuoteSources &quoteSources() const { return *m_sources; }
    AlertMonitor &alertMonitor() const { return *m_alertMonitor; }
    AnnouncementFeed &announcementFeed() const { return *m_announcementFeed; }
    ChartViewer &chartViewer() const { return *m_chartViewer; }
    Docking &docking() const { return *m_docking; }
    // Created by the first alert.
    AlertWindow *alertWindow() const { return m_alertWindow.get(); }
    AddStockDialog *addDialog() const;
    SettingsWindow *settingsWindow() const { return m_settingsWindow.get(); }
    RestoreDialog *restoreDialog() const { return m_restoreDialog.get(); }
    ChartImageWindow *chartImageWindow() const { return m_chartImageWindow.get(); }
    DesktopNotifier &notifier() const { return *m_notifier; }

    // Tests see the program's end instead of having it, and register at login elsewhere.
    void setProgramEnd(std::function<void(int status)> end);
    void setAutostart(std::unique_ptr<Autostart> autostart);

private:
    void build();
    void connectParts();
    void showAlert(const AlertNotice &alert);
    void openSitePage(const QString &path);
    bool startDemoService();
    void tell(const TransferOutcome &outcome);
    void followDemo();
    void startAtLogin(bool on);

    AppSettings m_settings;
    std::unique_ptr<ViewerLauncher> m_chartLauncher;
    std::unique_ptr<DemoQuoteService> m_demoService;
    std::unique_ptr<WatchList> m_watchList;
    std::unique_ptr<QuoteSources> m_sources;
    std::unique_ptr<QuoteRefresh> m_quoteRefresh;
    std::unique_ptr<AlertMonitor> m_alertMonitor;
    std::unique_ptr<DesktopNotifier> m_notifier;
    std::unique_ptr<AlertNotifications> m_notifications;
    std::unique_ptr<ChartImageFeed> m_chartImageFeed;
    std::unique_ptr<AnnouncementFeed> m_announcementFeed;
    std::unique_ptr<ChartViewer> m_chartViewer;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<AlertWindow> m_alertWindow;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<RestoreDialog> m_restoreDialog;
    std::unique_ptr<ChartImageWindow> m_chartImageWindow;
    std::unique_ptr<UnixSignals> m_signals;
    std::unique_ptr<Autostart> m_autostart;
    Docking *m_docking = nullptr; // the main window's
    QPointer<AddStockDialog> m_addDialog;
    std::function<void(int)> m_programEnd;
};

} // namespace velmora
