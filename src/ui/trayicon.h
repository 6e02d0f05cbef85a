#pragma once

#include <QIcon>
#include <QObject>
#include <QStringList>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;

namespace velmora {

// The tray icon ("trayIcon") and its menu ("mn"). It tells what was clicked and chosen; the
// dashed items are plain items that only close the menu.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    explicit TrayIcon(bool demo, QObject *parent = nullptr);
    ~TrayIcon() override;

    static QString toolTipFor(bool demo);

    void show();
    void hide();
    // The tip's second line, under the program's name: how the quotes are doing.
    void setStatusLine(const QString &status);
    // The tip's rows after the status line (at most ten), and its last line: the holdings'
    // totals, when there are any.
    void setRowLines(const QStringList &rows);
    void setTotalsLine(const QString &totals);
    // The icon: the program's own, or one with a figure drawn into it.
    void setIcon(const QIcon &icon);
    // Discreet: the program's own icon, and a tip without figures or codes; the check item
    // follows. What was set meanwhile shows again when it ends.
    void setDiscreet(bool discreet);
    // The global key that switches discreet mode, shown beside the menu item (empty: none).
    void setDiscreetHotkey(const QString &hotkey);
    // The demo's mark in the tip follows the source.
    void setDemo(bool demo);
    QSystemTrayIcon *icon() const { return m_icon; }
    QMenu *menu() const { return m_menu.get(); }

signals:
    void clicked();       // the left button went up on the icon
    void doubleClicked(); // comes after a clicked()
    void addStockRequested();
    void alertsOnRequested();
    void alertsOffRequested();
    void homePageRequested();
    void startAtLoginRequested();
    void noStartAtLoginRequested();
    void membershipPageRequested();
    void discreetRequested(bool on);
    void alertLogRequested();
    void settingsRequested();
    void exitRequested();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    void updateToolTip();

    QSystemTrayIcon *m_icon;
    bool m_demo = false;
    QString m_status;
    QString m_totals;
    QStringList m_rows;
    QIcon m_figureIcon;
    bool m_discreet = false;
    QAction *m_discreetItem = nullptr;
    std::unique_ptr<QMenu> m_menu; // a tray menu belongs to no window
};

} // namespace velmora
