#pragma once

#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <memory>

class QCloseEvent;

namespace velmora {

class Autostart;
class Form1;
class UnixSignals;

// The program as a tray resident: the tray icon's clicks, minimise and close, the tray menu's
// own items (mn1, mn12, mn13, mn15, mn16) and every way the program ends.
//
// With no system tray the window behaves as any other (minimise minimises, close ends the
// program), since a hidden window could never come back; the tray is looked for again at each
// minimise and close, so the tray behaviour starts once a tray appears.
class TrayController : public QObject
{
    Q_OBJECT

public:
    explicit TrayController(Form1 *form);
    ~TrayController() override;

    // Form_MouseMove: the tray icon's callback.
    void trayActivated(QSystemTrayIcon::ActivationReason reason);
    // Form_Resize: the main window's state changed.
    void windowStateChanged();
    // Form_QueryUnload: every attempt to close the main window comes here.
    void closeRequested(QCloseEvent *event);
    // mn16_Click and every close the user did not start: the icon goes, then the program, at
    // once and without asking anyone.
    void endProgram();
    // A second start on the same data directory: the window comes back restored, in front.
    void bringToFront();

    bool trayAvailable() const;

    // Tests decide whether a tray is there and see the program's end instead of having it.
    void setTrayProbe(std::function<bool()> probe);
    void setProgramEnd(std::function<void(int status)> end);
    void setAutostart(std::unique_ptr<Autostart> autostart);

private:
    void makeTopmost();
    void openSitePage(const QString &path);

    Form1 *m_form;
    std::function<bool()> m_trayProbe;
    std::function<void(int)> m_programEnd;
    std::unique_ptr<Autostart> m_autostart;
    UnixSignals *m_signals = nullptr;
};

} // namespace velmora
