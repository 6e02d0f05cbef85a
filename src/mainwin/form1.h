#pragma once

#include "platform/settings.h"

#include <QWidget>

class QAction;
class QCloseEvent;
class QMenu;
class QSystemTrayIcon;
class QTextBrowser;
class QTimer;
class QTreeView;

namespace velmora {

class TrayController;
class WatchListFiles;
class WatchListModel;

// The main window: the watch list, the announcement strip below it, the three timers, the
// tray icon and the two pop-up menus. Each behaviour lives in its own class that attaches to
// what this window exposes.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    Form1(const AppSettings &settings, WatchListFiles &files, QWidget *parent = nullptr);
    ~Form1() override;

    // Form_Load: tray icon, list columns, the watch list from the files.
    void load();

    static QString captionFor(const AppSettings &settings);

    const AppSettings &settings() const { return m_settings; }
    WatchListFiles &files() { return m_files; }
    WatchListModel *model() const { return m_model; }
    QTreeView *listView() const { return m_listView; }
    QTextBrowser *strip() const { return m_strip; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QMenu *contextMenu() const { return m_mnu2; }
    QMenu *trayMenu() const { return m_mn; }
    QAction *action(const char *objectName) const;
    QTimer *timer1() const { return m_timer1; }
    QTimer *timer2() const { return m_timer2; }
    QTimer *timer3() const { return m_timer3; }
    TrayController *trayController() const { return m_trayController; }

protected:
    // Form_Resize and Form_QueryUnload, decided by the tray controller.
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void setUpColumns();

    AppSettings m_settings;
    WatchListFiles &m_files;
    WatchListModel *m_model = nullptr;
    QTreeView *m_listView = nullptr;
    QTextBrowser *m_strip = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_mnu2 = nullptr;
    QMenu *m_mn = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    QTimer *m_timer3 = nullptr;
    TrayController *m_trayController = nullptr;
};

// The window icon, also used for the tray and the other windows.
QIcon AppIcon();

} // namespace velmora
