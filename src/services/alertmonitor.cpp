#include "services/alertmonitor.h"

#include "core/quotereply.h"
#include "services/quoteaddressing.h"
#include "watchlist/watchlist.h"

#include <QTimer>

namespace velmora {

AlertMonitor::AlertMonitor(WatchList &list, const QUrl &quoteBase, QObject *parent)
    : QObject(parent), m_list(list), m_timer(new QTimer(this)), m_fetcher(new QuoteFetcher(this)),
      m_base(quoteBase)
{
    setObjectName(QStringLiteral("alertMonitor"));
    m_timer->setObjectName(QStringLiteral("Timer2"));
    m_timer->setInterval(kIntervalMs);
    // The monitor's own fetcher: alerts never share requests or answers with the refresh.
    m_fetcher->setObjectName(QStringLiteral("Inet2"));
    m_clock.start();
    connect(m_fetcher, &QuoteFetcher::finished, this, &AlertMonitor::onFetched);
    connect(m_timer, &QTimer::timeout, this, &AlertMonitor::checkAll);
}

AlertMonitor::~AlertMonitor() = default;

void AlertMonitor::enableAlerts()
{
    // Restarting the timer would only put the next check off.
    if (!m_timer->isActive())
        m_timer->start();
}

void AlertMonitor::disableAlerts()
{
    m_timer->stop();
    m_fetcher->abortAll();
    m_asked.clear();
    m_waitingRows.clear();
    m_unansweredThisTick = 0;
}

bool AlertMonitor::alertsEnabled() const
{
    return m_timer->isActive();
}

void AlertMonitor::checkAll()
{
    ++m_tick;
    m_unansweredThisTick = 0;
    m_lastAlertPosition = -1;
    for (int i = 0; i < m_list.rowCount(); ++i) {
        const WatchRow &row = m_list.rowAt(i);
        // One request per row at a time: a row whose service hangs must not pile requests up.
        if (m_waitingRows.contains(row.id))
            continue;
        const QuoteFetcher::Ticket ticket = m_fetcher->fetch(QuoteAddress(m_base, row.entry.code));
        m_asked.emplace(ticket, Asked{row.id, m_clock.elapsed(), m_tick});
        m_waitingRows.insert(row.id);
        ++m_unansweredThisTick;
    }
    if (m_unansweredThisTick == 0)
        emit checked();
}

void AlertMonitor::onFetched(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto it = m_asked.find(ticket);
    if (it == m_asked.end())
        return; // asked before alerts were switched off: dropped
    const Asked asked = it->second;
    m_asked.erase(it);
    m_waitingRows.erase(asked.row);

    std::optional<std::string> price;
    if (result.ok)
        price = ParseQuoteReply(result.body.toStdString()).price;
    check(asked.row, asked.sentAtMs, price);
    if (asked.tick == m_tick && --m_unansweredThisTick == 0)
        emit checked();
}

// The two tests for the row, read afresh: a row removed meanwhile raises nothing, and the name
// is the list's name cell at this moment.
void AlertMonitor::check(RowId row, qint64 sentAtMs, const std::optional<std::string> &price)
{
    const auto position = m_list.positionOf(row);
    if (!position)
        return;
    const std::string takeProfit = m_list.text(*position, WatchList::TakeProfit).toStdString();
    const std::string stopLoss = m_list.text(*position, WatchList::StopLoss).toStdString();
    emit replyChecked(row, sentAtMs, price, takeProfit, stopLoss);
    if (*position < m_lastAlertPosition)
        return; // a later row has told its alert since this tick began
    for (const Alert &alert : EvaluateAlerts(price, takeProfit, stopLoss)) {
        AlertNotice notice;
        notice.row = row;
        notice.kind = alert.kind;
        notice.code = m_list.text(*position, WatchList::Code);
        notice.name = m_list.text(*position, WatchList::Name);
        notice.price = QString::fromStdString(price.value_or(std::string()));
        notice.threshold = QString::fromStdString(alert.threshold);
        notice.thresholdCaption = QString::fromUtf8(ThresholdCaption(alert.kind));
        m_lastAlertPosition = *position;
        emit alertRaised(notice);
    }
}

} // namespace velmora
