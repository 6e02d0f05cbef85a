#pragma once

#include "platform/settings.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace velmora {

class AlertMonitor;
class Autostart;
class DesktopNotifier;
class DiscreetMode;
class GlobalHotkey;
class MainWindow;
class QuoteRefresh;
class TrayGlance;
class TrayIcon;
class UnixSignals;
class WatchList;
struct ActionResult;

// The program's place on the desktop beside its windows: the tray icon and the tray menu's own
// items (the maker's pages, start at login, discreet mode, exit), what the tray shows at a
// glance, the global key of discreet mode, and the end of the program, however it
// comes (the exit item, the session ending, kill or Ctrl+C): the tray icon goes first, then the
// program, at once and without asking anyone.
class DesktopIntegration final : public QObject
{
    Q_OBJECT

public:
    // report tells what came of something the user asked for.
    DesktopIntegration(const AppSettings &settings, std::function<void(const ActionResult &)> report,
                       QObject *parent = nullptr);
    ~DesktopIntegration() override;

    TrayIcon &trayIcon() const { return *m_trayIcon; }
    // The tray icon's clicks and the notifications' 查看 bring the window up; the alert items
    // switch the monitor; the tip's second line follows the refresh's status.
    void connectTo(MainWindow &window, AlertMonitor &alerts, QuoteRefresh &refresh,
                   DesktopNotifier &notifier);
    // The tray at a glance (the figure in its icon, the rows in its tip, the holdings' totals)
    // follows the list from now on.
    void followList(const WatchList &list);
    TrayGlance &glance() const { return *m_glance; }
    // Discreet mode, switched by the global key and the tray's 隐身模式.
    DiscreetMode &discreet() const { return *m_discreet; }
    // Takes the global key that switches discreet mode (empty: none): why it could not, when it
    // could not (the tray's item works all the same).
    std::optional<QString> setDiscreetHotkey(const QString &hotkey);

    // A page of the maker's site ("/", "/huiyuan/") in the user's browser.
    void openSitePage(const QString &path) const;
    void quit();

    // Tests see the program's end instead of having it, and register at login elsewhere.
    void setProgramEnd(std::function<void(int status)> end);
    void setAutostart(std::unique_ptr<Autostart> autostart);

private:
    void startAtLogin(bool on);

    const AppSettings &m_settings;
    std::function<void(const ActionResult &)> m_report;
    std::unique_ptr<TrayIcon> m_trayIcon;
    std::unique_ptr<Autostart> m_autostart;
    std::unique_ptr<TrayGlance> m_glance;
    std::unique_ptr<DiscreetMode> m_discreet;
    std::unique_ptr<GlobalHotkey> m_hotkey;
    std::unique_ptr<UnixSignals> m_signals;
    std::function<void(int)> m_programEnd;
};

} // namespace velmora
