#include "services/quoterefresh.h"

#include "core/tradingclock.h"
#include "services/quotebatcher.h"
#include "services/quotepoller.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

#include <QDateTime>
#include <QTimer>

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
    const bool written = quoted ? m_list.applyQuote(answer.row, answer.quote, m_policy.now())
                                : m_list.applyQuote(answer.row, Quote{}, 0, answer.why);
    emit answered(answer.row, quoted, written);
}

void QuoteRefresh::onRequestEnded(QuoteSourceKind source, bool ok)
{
    const std::int64_t now = m_policy.now();
    if (ok) {
        setStatus(QStringLiteral("行情来源：%1，最近刷新 %2").arg(SourceCaption(source), clockText(now)));
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
    // While the market trades: a quote not renewed for three intervals, or one the page dates
    // before today (a suspended stock keeps its last day).
    const bool open = m_poller->market().marketOpen(now);
    const std::int64_t limit = 3 * std::int64_t(m_policy.intervalSeconds());
    const std::string today = MarketDate(ShanghaiTime(now));
    m_list.markStale([open, now, limit, &today](const WatchRow &row) {
        if (!open || row.receivedAt == 0)
            return false;
        return now - row.receivedAt > limit || (!row.quote.date.empty() && row.quote.date < today);
    });
}

} // namespace velmora
