#pragma once

#include <QObject>
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
    // The tip's last line: the holdings' totals, when there are any.
    void setTotalsLine(const QString &totals);
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
    void settingsRequested();
    void exitRequested();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    void updateToolTip();

    QSystemTrayIcon *m_icon;
    bool m_demo = false;
    QString m_status;
    QString m_totals;
    std::unique_ptr<QMenu> m_menu; // a tray menu belongs to no window
};

} // namespace velmora
