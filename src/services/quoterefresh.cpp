#include "services/quoterefresh.h"

#include "core/quotereply.h"
#include "services/quoteaddressing.h"
#include "watchlist/watchlist.h"

#include <QTimer>

namespace velmora {

QuoteRefresh::QuoteRefresh(WatchList &list, const QUrl &quoteBase, QObject *parent)
    : QObject(parent), m_list(list), m_timer(new QTimer(this)), m_fetcher(new QuoteFetcher(this)),
      m_base(quoteBase)
{
    setObjectName(QStringLiteral("quoteRefresh"));
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kIntervalMs);
    m_fetcher->setObjectName(QStringLiteral("Inet1"));
    connect(m_timer, &QTimer::timeout, this, &QuoteRefresh::refreshAll);
    connect(m_fetcher, &QuoteFetcher::finished, this, &QuoteRefresh::onFinished);
}

void QuoteRefresh::start()
{
    m_timer->start();
}

void QuoteRefresh::refreshAll()
{
    const int rows = m_list.rowCount();
    for (int position = 0; position < rows; ++position) {
        const WatchRow &row = m_list.rowAt(position);
        if (m_waiting.count(row.id) != 0)
            continue;
        const QuoteFetcher::Ticket ticket = m_fetcher->fetch(QuoteAddress(m_base, row.entry.code));
        m_rowOfTicket.emplace(ticket, row.id);
        m_waiting.insert(row.id);
    }
}

void QuoteRefresh::onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto it = m_rowOfTicket.find(ticket);
    if (it == m_rowOfTicket.end())
        return;
    const RowId rowId = it->second;
    m_rowOfTicket.erase(it);
    m_waiting.erase(rowId);

    const QuoteReply reply =
        result.ok ? ParseQuoteReply(result.body.toStdString()) : QuoteReply{};
    WatchList::Quote quote;
    quote.name = reply.name.value_or(std::string());
    quote.price = reply.price.value_or(std::string());
    quote.high = reply.high.value_or(std::string());
    quote.low = reply.low.value_or(std::string());
    quote.change = reply.change.value_or(std::string());
    const bool written = m_list.applyQuote(rowId, quote);
    emit answered(rowId, result.ok, written);
}

} // namespace velmora
