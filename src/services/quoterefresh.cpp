#include "services/quoterefresh.h"

#include "core/marketsymbol.h"
#include "core/tradingclock.h"
#include "services/quotebatcher.h"
#include "services/quotepoller.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

#include <QDateTime>
#include <QTimer>

#include <set>

namespace velmora {

namespace {

QString clockText(std::int64_t unixSeconds)
{
    return QDateTime::fromSecsSinceEpoch(unixSeconds).toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

QuoteRefresh::QuoteRefresh(WatchList &list, SourcePolicy &policy, QObject *parent)
    : QObject(parent), m_list(list), m_policy(policy),
      m_poller(new QuotePoller(list, policy, QStringLiteral("Timer1"), QStringLiteral("Inet1"), this))
{
    setObjectName(QStringLiteral("quoteRefresh"));
    connect(m_poller, &QuotePoller::polling, this, &QuoteRefresh::markStaleRows);
    connect(m_poller, &QuotePoller::answered, this, &QuoteRefresh::onAnswered);
    connect(m_poller, &QuotePoller::requestEnded, this, &QuoteRefresh::onRequestEnded);
    connect(m_poller, &QuotePoller::askRefused, this, [this] {
        setStatus(QStringLiteral("获取行情失败，下次尝试 %1").arg(clockText(m_policy.nextTry())));
    });
    connect(m_poller, &QuotePoller::sourceChanged, this, &QuoteRefresh::onSourceChanged);
    setStatus(QStringLiteral("行情来源：%1，尚未刷新").arg(SourceCaption(m_policy.kind())));
}

QuoteRefresh::~QuoteRefresh() = default;

QTimer *QuoteRefresh::timer() const
{
    return m_poller->timer();
}

HttpQueue *QuoteRefresh::queue() const
{
    return m_poller->queue();
}

int QuoteRefresh::waitingRows() const
{
    return m_poller->waitingRows();
}

void QuoteRefresh::start()
{
    m_poller->start();
    // The public pages are asked at once; the custom service one interval after start.
    if (m_policy.isPublic())
        QTimer::singleShot(0, this, &QuoteRefresh::refreshAll);
}

void QuoteRefresh::refreshAll()
{
    m_poller->poll();
}

void QuoteRefresh::onAnswered(const RowAnswer &answer)
{
    const bool quoted = answer.outcome == RowAnswer::Outcome::Quote;
    // No quote: the figures go empty, and the row's tooltip says why.
    const std::int64_t now = m_policy.now();
    const bool written = quoted ? m_list.applyQuote(answer.row, answer.quote, now, {},
                                                    delayMinutes(answer.quote, now))
                                : m_list.applyQuote(answer.row, Quote{}, 0, answer.why);
    emit answered(answer.row, quoted, written);
}

int QuoteRefresh::delayMinutes(const Quote &quote, std::int64_t now) const
{
    // Late by more than a minute while its market trades: free Hong Kong quotes often come
    // 15 minutes late.
    const auto at = MarketUnixSeconds(quote.market, quote.date, quote.time);
    if (!at || !m_poller->marketOpen(quote.market, now) || now - *at <= 60)
        return 0;
    return static_cast<int>((now - *at + 30) / 60);
}

void QuoteRefresh::onRequestEnded(QuoteSourceKind source, Market market, bool ok)
{
    const std::int64_t now = m_policy.now();
    if (ok) {
        m_lastGood[market] = now;
        // One market: when it was last refreshed; several: each, or that it is closed.
        std::set<Market> listed;
        for (int position = 0; position < m_list.rowCount(); ++position)
            listed.insert(MarketOfCode(m_list.rowAt(position).entry.code));
        if (!m_policy.isPublic() || listed.size() <= 1) {
            setStatus(QStringLiteral("行情来源：%1，最近刷新 %2").arg(SourceCaption(source), clockText(now)));
            return;
        }
        QStringList markets;
        for (const Market each : listed) {
            const auto last = m_lastGood.find(each);
            markets << QString::fromUtf8(MarketName(each)) + QLatin1Char(' ') +
                           (!m_poller->marketOpen(each, now) ? QStringLiteral("休市")
                            : last != m_lastGood.end()        ? clockText(last->second)
                                                              : QStringLiteral("尚未刷新"));
        }
        setStatus(QStringLiteral("行情来源：%1，最近刷新 %2")
                      .arg(SourceCaption(source), markets.join(QStringLiteral("，"))));
        return;
    }
    const std::int64_t next = m_policy.nextTry();
    setStatus(QStringLiteral("获取行情失败，下次尝试 %1")
                  .arg(clockText(next > now ? next : now + m_policy.intervalSeconds())));
}

void QuoteRefresh::onSourceChanged()
{
    setStatus(QStringLiteral("行情来源：%1，尚未刷新").arg(SourceCaption(m_policy.kind())));
    if (m_poller->isActive() && m_policy.isPublic())
        QTimer::singleShot(0, this, &QuoteRefresh::refreshAll);
}

void QuoteRefresh::setStatus(const QString &status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(status);
}

void QuoteRefresh::markStaleRows(std::int64_t now)
{
    // While the row's market trades: a quote not renewed for three intervals, or one the page
    // dates before today (a suspended stock keeps its last day).
    const std::int64_t limit = 3 * std::int64_t(m_policy.intervalSeconds());
    m_list.markStale([this, now, limit](const WatchRow &row) {
        const Market market = row.quote.market;
        if (row.receivedAt == 0 || !m_poller->marketOpen(market, now))
            return false;
        const std::string today = MarketDate(MarketClock(market, now));
        return now - row.receivedAt > limit || (!row.quote.date.empty() && row.quote.date < today);
    });
}

} // namespace velmora
