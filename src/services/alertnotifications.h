#pragma once

#include "core/alertcrossing.h"
#include "core/changesteps.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace velmora {

class AlertHistory;
class AlertMonitor;
class DesktopNotifier;
class SourcePolicy;
class WatchList;

// What the alerts tell beyond the alert window: while alerts are on, a row whose price crosses
// a threshold raises one notification ("600000 甲股份 突破止盈价", the price and the threshold, a
// sound unless switched off, and "查看"), and no other for the same side until the price has
// come back inside by the dead band; with a step set, a row whose day's change reaches the next
// multiple of it raises one too ("涨幅达到 3%"), once a day. Quotes older than two intervals tell
// nothing, nor do steps from a closed market. Every such alert goes into the alert history
// first, whether or not notifications are wanted. Without a notification service nothing more
// happens: the alert window and the history tell the user already.
class AlertNotifications final : public QObject
{
    Q_OBJECT

public:
    AlertNotifications(const WatchList &list, AlertMonitor &monitor, const SourcePolicy &policy,
                       DesktopNotifier &notifier, AlertHistory &history, QObject *parent = nullptr);

    void setEnabled(bool notifications, bool sound);
    // The dead band and the step, in percent (a step of 0: no step alerts).
    void setLimits(double deadBandPercent, double changeStepPercent);
    // While held (discreet), alerts are still found and recorded but not shown; when released,
    // the ones held are told in one notification.
    void setHeld(bool held);
    int heldCount() const { return int(m_held.size()); }

private:
    struct Told
    {
        QString summary;   // "600000 甲股份 突破止盈价"
        QString body;      // "最新价 10.95，止盈价 10.80"
        std::string condition; // for the history: "突破止盈价 10.80", "涨幅达到 3%"
    };

    void onReplyChecked(RowId row, qint64 sentAtMs, qint64 quoteAgeMs, const std::optional<Quote> &quote,
                        const std::string &takeProfit, const std::string &stopLoss);
    void tell(const WatchRow &row, const std::string &price, const Told &told);

    const WatchList &m_list;
    const SourcePolicy &m_policy;
    DesktopNotifier &m_notifier;
    AlertHistory &m_history;
    AlertCrossings m_crossings;
    ChangeSteps m_steps;
    bool m_enabled = true;
    bool m_sound = true;
    bool m_holding = false;
    std::vector<QString> m_held; // "600000 甲股份 突破止盈价 10.95", in the order they came
};

} // namespace velmora
