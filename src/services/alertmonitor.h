#pragma once

#include "core/alertrule.h"
#include "platform/quotefetcher.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <map>
#include <optional>
#include <set>
#include <string>

class QTimer;

namespace velmora {

class WatchList;

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

// The price alerts: while alerts are on, every row is fetched afresh at every tick of its own
// timer ("Timer2", 8 s) through its own fetcher ("Inet2") and checked against its take-profit
// and stop-loss; each alert is told in list order, so whoever shows them ends on the last.
// Nothing is remembered between ticks, so a price that stays beyond its threshold alerts again
// at every tick until alerts are switched off. Alerts are off at every start.
class AlertMonitor final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 8000;

    AlertMonitor(WatchList &list, const QUrl &quoteBase, QObject *parent = nullptr);
    ~AlertMonitor() override;

    // 预警开: the first check comes one interval later. Asking again while on changes nothing.
    void enableAlerts();
    // 预警关 and the alert window's 关闭预警: no tick, and no answer still on its way, may raise
    // an alert after this.
    void disableAlerts();
    bool alertsEnabled() const;
    // One tick.
    void checkAll();

    QTimer *timer() const { return m_timer; }
    QuoteFetcher *fetcher() const { return m_fetcher; }

signals:
    void alertRaised(const velmora::AlertNotice &alert);
    // One tick's check is done (all its answers in, or the next tick came first).
    void checked();

private:
    void onFetched(QuoteFetcher::Ticket ticket, const FetchResult &result);
    void evaluate();
    void fetchRow(RowId rowId, const std::string &code);
    void forgetRequests();

    WatchList &m_list;
    QTimer *m_timer;
    QuoteFetcher *m_fetcher;
    QUrl m_base;

    // Every request on the wire, by ticket: the row it was asked for. A row with an entry here
    // is still waiting and is not asked again.
    std::map<QuoteFetcher::Ticket, RowId> m_waiting;
    std::set<RowId> m_waitingRows;
    // The requests of the tick now being collected; late answers of earlier ticks are not here.
    std::map<QuoteFetcher::Ticket, RowId> m_thisTick;
    // This tick's answers by row: the latest price, or nothing when none could be had.
    std::map<RowId, std::optional<std::string>> m_answers;
    bool m_collecting = false;
    bool m_asking = false; // inside the tick's loop over the rows
};

} // namespace velmora
