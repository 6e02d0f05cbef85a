#include "services/quoterefresh.h"

#include "core/tradingclock.h"
#include "services/quoteclient.h"
#include "services/quotesources.h"
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

QuoteRefresh::QuoteRefresh(WatchList &list, QuoteSources &sources, QObject *parent)
    : QObject(parent), m_list(list), m_sources(sources), m_client(new QuoteClient(sources, this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("quoteRefresh"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(m_sources.intervalSeconds() * 1000);
    m_client->fetcher()->setObjectName(QStringLiteral("Inet1"));
    connect(m_timer, &QTimer::timeout, this, &QuoteRefresh::refreshAll);
    connect(m_client, &QuoteClient::answered, this, &QuoteRefresh::onAnswered);
    connect(m_client, &QuoteClient::requestEnded, this, &QuoteRefresh::onRequestEnded);
    connect(&m_sources, &QuoteSources::changed, this, &QuoteRefresh::onSourcesChanged);
    // A new row is quoted at the next refresh, whatever the hour.
    connect(&m_list, &QAbstractItemModel::rowsInserted, this, [this] { m_forced = true; });
    connect(&m_list, &QAbstractItemModel::modelReset, this, [this] { m_forced = true; });
    setStatus(QStringLiteral("行情来源：%1，尚未刷新").arg(SourceCaption(m_sources.kind())));
}

QuoteRefresh::~QuoteRefresh() = default;

QuoteFetcher *QuoteRefresh::fetcher() const
{
    return m_client->fetcher();
}

void QuoteRefresh::start()
{
    m_timer->start();
    // The public pages are asked at once; the described service one interval after start.
    if (m_sources.isPublic())
        QTimer::singleShot(0, this, &QuoteRefresh::refreshAll);
}

void QuoteRefresh::refreshAll()
{
    const std::int64_t now = m_sources.now();
    markStaleRows(now);
    if (m_sources.isPublic() && !m_market.shouldAsk(now, m_forced, m_sources.slowDownOutsideHours()))
        return;
    std::vector<RowAsk> rows;
    for (int position = 0; position < m_list.rowCount(); ++position) {
        const WatchRow &row = m_list.rowAt(position);
        if (m_waiting.insert(row.id).second)
            rows.push_back({row.id, row.entry.code});
    }
    if (!m_client->ask(rows)) {
        for (const RowAsk &row : rows)
            m_waiting.erase(row.row);
        setStatus(QStringLiteral("获取行情失败，下次尝试 %1").arg(clockText(m_sources.nextTry())));
        return;
    }
    m_forced = false;
    m_market.asked(now);
}

void QuoteRefresh::onAnswered(const RowAnswer &answer)
{
    m_waiting.erase(answer.row);
    const std::int64_t now = m_sources.now();
    WatchList::Quote quote;
    if (answer.outcome == RowAnswer::Outcome::Quote) {
        quote.name = answer.quote.name;
        quote.price = answer.quote.price;
        quote.high = answer.quote.high;
        quote.low = answer.quote.low;
        quote.change = answer.quote.change;
        quote.receivedAt = now;
        // The pages date their quotes; the described service's are as old as their reply.
        quote.time = answer.quote.date.empty()
                         ? QDateTime::fromSecsSinceEpoch(now)
                               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                               .toStdString()
                         : answer.quote.date + ' ' + answer.quote.time;
        if (m_sources.isPublic())
            m_market.sawQuoteDate(answer.quote.date, now);
    } else if (answer.outcome == RowAnswer::Outcome::Unaskable) {
        quote.note = answer.why.toStdString();
    }
    const bool written = m_list.applyQuote(answer.row, quote);
    emit answered(answer.row, answer.outcome == RowAnswer::Outcome::Quote, written);
}

void QuoteRefresh::onRequestEnded(QuoteSourceKind source, bool ok)
{
    const std::int64_t now = m_sources.now();
    if (ok) {
        setStatus(QStringLiteral("行情来源：%1，最近刷新 %2").arg(SourceCaption(source), clockText(now)));
        return;
    }
    const std::int64_t next = m_sources.nextTry();
    setStatus(QStringLiteral("获取行情失败，下次尝试 %1")
                  .arg(clockText(next > now ? next : now + m_sources.intervalSeconds())));
}

void QuoteRefresh::onSourcesChanged()
{
    // What was asked of the old choice no longer counts; the new one is asked afresh.
    m_client->abortAll();
    m_waiting.clear();
    m_forced = true;
    m_timer->setInterval(m_sources.intervalSeconds() * 1000);
    setStatus(QStringLiteral("行情来源：%1，尚未刷新").arg(SourceCaption(m_sources.kind())));
    if (m_timer->isActive()) {
        m_timer->start(); // the next tick one interval from now
        if (m_sources.isPublic())
            QTimer::singleShot(0, this, &QuoteRefresh::refreshAll);
    }
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
    const bool open = m_market.marketOpen(now);
    const std::int64_t limit = 3 * std::int64_t(m_sources.intervalSeconds());
    m_list.markStale([open, now, limit](const WatchRow &row) {
        return open && row.receivedAt > 0 && now - row.receivedAt > limit;
    });
}

} // namespace velmora
