#include "services/alertmonitor.h"

#include "core/tradingclock.h"
#include "services/quoteclient.h"
#include "services/quotesources.h"
#include "watchlist/watchlist.h"

#include <QTimer>

namespace velmora {

AlertMonitor::AlertMonitor(WatchList &list, QuoteSources &sources, QObject *parent)
    : QObject(parent), m_list(list), m_sources(sources), m_client(new QuoteClient(sources, this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("alertMonitor"));
    m_timer->setObjectName(QStringLiteral("Timer2"));
    m_timer->setInterval(m_sources.intervalSeconds() * 1000);
    // The monitor's own fetcher: alerts never share requests or answers with the refresh.
    m_client->fetcher()->setObjectName(QStringLiteral("Inet2"));
    connect(m_client, &QuoteClient::answered, this, &AlertMonitor::onAnswered);
    connect(m_timer, &QTimer::timeout, this, &AlertMonitor::checkAll);
    connect(&m_sources, &QuoteSources::changed, this, [this] {
        m_timer->setInterval(m_sources.intervalSeconds() * 1000);
        m_forced = true;
    });
}

AlertMonitor::~AlertMonitor() = default;

QuoteFetcher *AlertMonitor::fetcher() const
{
    return m_client->fetcher();
}

void AlertMonitor::enableAlerts()
{
    // Restarting the timer would only put the next check off.
    if (m_timer->isActive())
        return;
    m_forced = true;
    m_timer->start();
    emit alertsSwitchedOn(m_client->clockMs());
}

void AlertMonitor::disableAlerts()
{
    m_timer->stop();
    m_client->abortAll();
    m_waiting.clear();
    m_unansweredThisTick = 0;
    emit alertsSwitchedOff();
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
    const std::int64_t now = m_sources.now();
    std::vector<RowAsk> rows;
    if (!m_sources.isPublic() || m_market.shouldAsk(now, m_forced, m_sources.slowDownOutsideHours())) {
        for (int i = 0; i < m_list.rowCount(); ++i) {
            const WatchRow &row = m_list.rowAt(i);
            // One request per row at a time: a row whose service hangs must not pile up.
            if (m_waiting.emplace(row.id, m_tick).second)
                rows.push_back({row.id, row.entry.code});
        }
    }
    m_unansweredThisTick = static_cast<int>(rows.size());
    if (!rows.empty() && m_client->ask(rows)) {
        m_forced = false;
        m_market.asked(now);
    } else {
        for (const RowAsk &row : rows)
            m_waiting.erase(row.row);
        m_unansweredThisTick = 0;
    }
    if (m_unansweredThisTick == 0)
        emit checked();
}

void AlertMonitor::onAnswered(const RowAnswer &answer)
{
    const auto it = m_waiting.find(answer.row);
    if (it == m_waiting.end())
        return; // asked before alerts were switched off: dropped
    const quint64 tick = it->second;
    m_waiting.erase(it);

    std::optional<std::string> price;
    qint64 ageMs = 0;
    if (answer.outcome == RowAnswer::Outcome::Quote) {
        price = answer.quote.price;
        const std::int64_t now = m_sources.now();
        if (const auto quoted = ShanghaiUnixSeconds(answer.quote.date, answer.quote.time))
            ageMs = std::max<qint64>(0, (now - *quoted) * 1000);
        if (m_sources.isPublic())
            m_market.sawQuoteDate(answer.quote.date, now);
    }
    check(answer.row, answer.sentAtMs, ageMs, price);
    if (tick == m_tick && --m_unansweredThisTick == 0)
        emit checked();
}

// The two tests for the row, read afresh: a row removed meanwhile raises nothing, and the name
// is the list's name cell at this moment.
void AlertMonitor::check(RowId row, qint64 sentAtMs, qint64 quoteAgeMs,
                         const std::optional<std::string> &price)
{
    const auto position = m_list.positionOf(row);
    if (!position)
        return;
    const std::string takeProfit = m_list.text(*position, WatchList::TakeProfit).toStdString();
    const std::string stopLoss = m_list.text(*position, WatchList::StopLoss).toStdString();
    emit replyChecked(row, sentAtMs, quoteAgeMs, price, takeProfit, stopLoss);
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
