#pragma once

#include "core/alertcrossing.h"
#include "watchlist/watchrow.h"

#include <QObject>

#include <QString>

#include <optional>
#include <vector>
#include <string>

namespace velmora {

class AlertMonitor;
class DesktopNotifier;
class SourcePolicy;
class WatchList;

// Desktop notifications for the alerts, beside the alert window: while alerts are on, a row
// whose price crosses a threshold raises one notification ("600000 甲股份 突破止盈价", the price
// and the threshold, a sound unless switched off, and "查看"), and no other for the same side
// until the price has been back inside. Quotes older than two intervals tell nothing. Without a
// notification service nothing more happens: the alert window tells the user already.
class AlertNotifications final : public QObject
{
    Q_OBJECT

public:
    AlertNotifications(const WatchList &list, AlertMonitor &monitor, const SourcePolicy &policy,
                       DesktopNotifier &notifier, QObject *parent = nullptr);

    void setEnabled(bool notifications, bool sound);
    // While held (discreet), crossings are still found but not shown; when released, the ones
    // held are told in one notification.
    void setHeld(bool held);
    int heldCount() const { return int(m_held.size()); }

private:
    void onReplyChecked(RowId row, qint64 sentAtMs, qint64 quoteAgeMs,
                        const std::optional<std::string> &price, const std::string &takeProfit,
                        const std::string &stopLoss);

    const WatchList &m_list;
    const SourcePolicy &m_policy;
    DesktopNotifier &m_notifier;
    AlertCrossings m_crossings;
    bool m_enabled = true;
    bool m_sound = true;
    bool m_holding = false;
    std::vector<QString> m_held; // "600000 甲股份 突破止盈价 10.52", in the order they came
};

} // namespace velmora
