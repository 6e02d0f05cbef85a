#pragma once

#include "platform/settings.h"
#include "services/viewerlauncher.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace velmora {

class AddStockDialog;
class AlertMonitor;
class AlertWindow;
class AnnouncementFeed;
class Autostart;
class ChartViewer;
class DemoQuoteService;
class Docking;
class MainWindow;
class QuoteRefresh;
class TrayIcon;
class UnixSignals;
class WatchList;
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

    // The add dialog: a fresh one when none is open, else the open one again, as it is.
    void openAddDialog();
    // The row at position goes from the files and the list; on a failure both stay and a
    // message says why.
    void removeRow(int position);
    // Exit: the tray icon goes, then the program, at once and without asking anyone.
    void quit();
    // A second start on the same data folder.
    void bringToFront();

    const AppSettings &settings() const { return m_settings; }
    WatchList &watchList() const { return *m_watchList; }
    MainWindow &mainWindow() const { return *m_mainWindow; }
    TrayIcon &trayIcon() const { return *m_trayIcon; }
    QuoteRefresh &quoteRefresh() const { return *m_quoteRefresh; }
    AlertMonitor &alertMonitor() const { return *m_alertMonitor; }
    AnnouncementFeed &announcementFeed() const { return *m_announcementFeed; }
    ChartViewer &chartViewer() const { return *m_chartViewer; }
    Docking &docking() const { return *m_docking; }
    // Created by the first alert.
    AlertWindow *alertWindow() const { return m_alertWindow.get(); }
    AddStockDialog *addDialog() const;

    // Tests see the program's end instead of having it, and register at login elsewhere.
    void setProgramEnd(std::function<void(int status)> end);
    void setAutostart(std::unique_ptr<Autostart> autostart);

private:
    void build();
    void connectParts();
    void showAlert(const AlertNotice &alert);
    void openSitePage(const QString &path);
    void startAtLogin(bool on);

    AppSettings m_settings;
    std::unique_ptr<ViewerLauncher> m_chartLauncher;
    std::unique_ptr<DemoQuoteService> m_demoService;
    std::unique_ptr<WatchList> m_watchList;
    std::unique_ptr<QuoteRefresh> m_quoteRefresh;
    std::unique_ptr<AlertMonitor> m_alertMonitor;
    std::unique_ptr<AnnouncementFeed> m_announcementFeed;
    std::unique_ptr<ChartViewer> m_chartViewer;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<AlertWindow> m_alertWindow;
    std::unique_ptr<UnixSignals> m_signals;
    std::unique_ptr<Autostart> m_autostart;
    Docking *m_docking = nullptr; // the main window's
    QPointer<AddStockDialog> m_addDialog;
    std::function<void(int)> m_programEnd;
};

} // namespace velmora
