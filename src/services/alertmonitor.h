#pragma once

#include "core/alertrule.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>

class QTimer;

namespace velmora {

class HttpQueue;
class QuotePoller;
class SourcePolicy;
class WatchList;
struct RowAnswer;

// What one alert tells: the row's code and name as the list shows them, the latest price, and
// the threshold that was passed with the caption of its label.
struct AlertNotice
{
    RowId row = 0;
    AlertKind kind = AlertKind::TakeProfit;
    QString code;
    QString name;
    QString price;
    QString threshold;
    QString thresholdCaption; // "止盈价：" or "止损价："
};

// The price alerts: while alerts are on, every row is fetched afresh from the chosen source at
// every tick of its own timer ("Timer2", the refresh's interval) through its own HTTP queue
// ("Inet2"), as politely as the refresh asks the public pages, and each reply is checked against
// its row's take-profit and stop-loss as soon as it arrives, however many ticks it took (within
// the queue's time limit): a slow service or a long list delays alerts, never drops them. A
// row still waiting is not asked again. Each alert is told when its reply is checked, unless a
// row later in list order has already alerted since this tick began, so whoever shows them ends
// each tick on the last alert in list order. Nothing is remembered between ticks, so a price
// that stays beyond its threshold alerts again at every tick until alerts are switched off;
// after that, nothing that arrives raises anything. Alerts are off at every start.
class AlertMonitor final : public QObject
{
    Q_OBJECT

public:
    AlertMonitor(WatchList &list, SourcePolicy &policy, QObject *parent = nullptr);
    ~AlertMonitor() override;

    // 预警开: the first check comes one interval later. Asking again while on changes nothing.
    void enableAlerts();
    // 预警关 and the alert window's 关闭预警: requests still out are dropped.
    void disableAlerts();
    bool alertsEnabled() const;
    // One tick.
    void checkAll();

    QTimer *timer() const;
    HttpQueue *queue() const;

signals:
    void alertRaised(const velmora::AlertNotice &alert);
    // Every reply checked, for the desktop notifications: the row, when its request went out
    // (a steady clock, ms), how old its quote is (ms), the quote (none when it could not be
    // had) and the row's thresholds at this moment.
    void replyChecked(velmora::RowId row, qint64 sentAtMs, qint64 quoteAgeMs,
                      const std::optional<velmora::Quote> &quote, const std::string &takeProfit,
                      const std::string &stopLoss);
    // Every request of the last tick has been answered (at once when it asked nothing).
    void checked();
    // The switch, with the moment on the clock replyChecked() counts in.
    void alertsSwitchedOn(qint64 atMs);
    void alertsSwitchedOff();

private:
    void onAnswered(const RowAnswer &answer);
    void check(RowId row, qint64 sentAtMs, qint64 quoteAgeMs, const std::optional<Quote> &quote);

    WatchList &m_list;
    SourcePolicy &m_policy;
    QuotePoller *m_poller;
    // The list position of the last row that alerted since this tick began.
    int m_lastAlertPosition = -1;
};

} // namespace velmora
