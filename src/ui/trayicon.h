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
    void exitRequested();

private:
    void activated(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon *m_icon;
    std::unique_ptr<QMenu> m_menu; // a tray menu belongs to no window
};

} // namespace velmora
