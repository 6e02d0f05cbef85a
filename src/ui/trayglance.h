#pragma once

#include "platform/userconfig.h"

#include <QIcon>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace velmora {

class TrayFigureIcon;
class TrayIcon;
class WatchList;

// What the tray tells at a glance, kept up with the list: the figure drawn into the icon (the
// first row's day change, or the holdings' day profit in percent, or none), the first ten rows
// in the tip and the holdings' totals. A tick that changes many rows updates the tray once.
class TrayGlance final : public QObject
{
    Q_OBJECT

public:
    TrayGlance(const WatchList &list, TrayIcon &tray, QObject *parent = nullptr);
    ~TrayGlance() override;

    void setShow(TrayShow show);
    void setHideAmounts(bool hide);
    // Now rather than after the current burst of changes.
    void update();

private:
    const WatchList &m_list;
    TrayIcon &m_tray;
    std::unique_ptr<TrayFigureIcon> m_icons;
    QIcon m_plain; // one icon, so the tray sees no change while there is no figure
    TrayShow m_show = TrayShow::First;
    bool m_hideAmounts = false;
    QTimer m_pending;
};

// The tip's rows in list order, at most `most`: "600519 贵州茅台 1850.00 +1.23%"; a row waiting
// for its quote shows what the list shows ("600000 待命").
QStringList TrayTipRows(const WatchList &list, int most = 10);

} // namespace velmora
