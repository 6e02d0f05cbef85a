#pragma once

#include "platform/settings.h"

#include <QObject>

#include <functional>
#include <memory>

namespace velmora {

class AlertMonitor;
class Autostart;
class DesktopNotifier;
class MainWindow;
class QuoteRefresh;
class TrayIcon;
class UnixSignals;
struct ActionResult;

// The program's place on the desktop beside its windows: the tray icon and the tray menu's own
// items (the maker's pages, start at login, exit), and the end of the program, however it
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
    std::unique_ptr<UnixSignals> m_signals;
    std::function<void(int)> m_programEnd;
};

} // namespace velmora
