#include "services/quotepoller.h"

#include "core/marketsymbol.h"
#include "services/quotebatcher.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

#include <QTimer>

#include <set>
#include <utility>

namespace velmora {

QuotePoller::QuotePoller(const WatchList &list, SourcePolicy &policy, const QString &timerName,
                         const QString &queueName, QObject *parent)
    : QObject(parent), m_list(list), m_policy(policy), m_batcher(new QuoteBatcher(policy, this)),
      m_timer(new QTimer(this))
{
    for (const Market market : kMarkets)
        m_markets.emplace(market, MarketWatch(market));
    m_timer->setObjectName(timerName);
    m_timer->setInterval(m_policy.intervalSeconds() * 1000);
    m_batcher->queue()->setObjectName(queueName);
    connect(m_timer, &QTimer::timeout, this, &QuotePoller::poll);
    connect(m_batcher, &QuoteBatcher::answered, this, &QuotePoller::onAnswered);
    connect(m_batcher, &QuoteBatcher::requestEnded, this, &QuotePoller::requestEnded);
    connect(&m_policy, &SourcePolicy::changed, this, &QuotePoller::onPolicyChanged);
    // A new row is quoted at the next tick, whatever the hour.
    connect(&m_list, &QAbstractItemModel::rowsInserted, this, [this] { m_forced = true; });
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] { m_forced = true; });
}

QuotePoller::~QuotePoller() = default;

HttpQueue *QuotePoller::queue() const
{
    return m_batcher->queue();
}

qint64 QuotePoller::clockMs() const
{
    return m_policy.steadyMs();
}

void QuotePoller::start()
{
    // Restarting a running timer would only put the next tick off.
    if (m_timer->isActive())
        return;
    m_forced = true;
    m_timer->start();
}

void QuotePoller::stop()
{
    m_timer->stop();
    m_batcher->abortAll();
    m_waiting.clear();
    m_unansweredThisTick = 0;
}

bool QuotePoller::isActive() const
{
    return m_timer->isActive();
}

void QuotePoller::poll()
{
    ++m_tick;
    m_unansweredThisTick = 0;
    m_tickTold = false;
    const std::int64_t now = m_policy.now();
    const std::int64_t steady = m_policy.steadyMs();
    for (auto &[market, watch] : m_markets)
        watch.tickBegins(now);
    emit polling(now);
    // Each market's codes at that market's pace.
    std::set<Market> asking;
    for (auto &[market, watch] : m_markets) {
        if (!m_policy.isPublic() ||
            watch.shouldAsk(now, steady, m_forced, m_policy.slowDownOutsideHours()))
            asking.insert(market);
    }
    if (asking.empty()) {
        tellTickAnswered();
        return;
    }
    std::vector<RowAsk> rows;
    for (int position = 0; position < m_list.rowCount(); ++position) {
        const WatchRow &row = m_list.rowAt(position);
        if (asking.count(MarketOfCode(row.entry.code)) && m_waiting.emplace(row.id, m_tick).second)
            rows.push_back({row.id, row.entry.code});
    }
    m_unansweredThisTick = static_cast<int>(rows.size());
    if (!m_batcher->ask(rows)) {
        for (const RowAsk &row : rows)
            m_waiting.erase(row.row);
        m_unansweredThisTick = 0;
        emit askRefused();
        tellTickAnswered();
        return;
    }
    m_forced = false;
    for (const Market market : asking)
        m_markets.at(market).asked(steady);
    if (m_unansweredThisTick == 0)
        tellTickAnswered(); // every row was answered at once, or there was none
}

bool QuotePoller::marketOpen(Market market, std::int64_t wallNow) const
{
    return m_markets.at(market).marketOpen(wallNow);
}

void QuotePoller::tellTickAnswered()
{
    if (!std::exchange(m_tickTold, true))
        emit pollAnswered();
}

void QuotePoller::onAnswered(const RowAnswer &answer)
{
    const auto it = m_waiting.find(answer.row);
    if (it == m_waiting.end())
        return; // asked before a stop: dropped
    const std::uint64_t tick = it->second;
    m_waiting.erase(it);
    if (answer.outcome == RowAnswer::Outcome::Quote && m_policy.isPublic())
        m_markets.at(answer.quote.market).sawQuote(answer.quote.date, Traded(answer.quote), m_policy.now());
    emit answered(answer);
    if (tick == m_tick && m_unansweredThisTick > 0 && --m_unansweredThisTick == 0)
        tellTickAnswered();
}

void QuotePoller::onPolicyChanged()
{
    // What was asked of the old choice no longer counts; the new one is asked afresh.
    m_batcher->abortAll();
    m_waiting.clear();
    m_unansweredThisTick = 0;
    m_forced = true;
    m_timer->setInterval(m_policy.intervalSeconds() * 1000);
    if (m_timer->isActive())
        m_timer->start(); // the next tick one interval from now
    emit sourceChanged();
}

} // namespace velmora
