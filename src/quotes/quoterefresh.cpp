#include "quotes/quoterefresh.h"

#include "mainwin/watchlistmodel.h"
#include "quotes/quotereply.h"

#include <QTimer>

namespace velmora {

QuoteRefresh::QuoteRefresh(WatchListModel &model, QTimer *timer1, const QUrl &quoteBase,
                           QObject *parent)
    : QObject(parent), m_model(model), m_inet1(new QuoteFetcher(this)),
      m_base(quoteBase.toString(QUrl::FullyEncoded).toStdString())
{
    setObjectName(QStringLiteral("quoteRefresh"));
    m_inet1->setObjectName(QStringLiteral("Inet1"));
    connect(m_inet1, &QuoteFetcher::finished, this, &QuoteRefresh::onFinished);
    if (timer1)
        connect(timer1, &QTimer::timeout, this, &QuoteRefresh::Timer1_Timer);
}

void QuoteRefresh::Timer1_Timer()
{
    const int rows = m_model.rowCount();
    for (int position = 0; position < rows; ++position) {
        const WatchRow &row = m_model.rowAt(position);
        if (m_waiting.count(row.id) != 0)
            continue;
        const std::string url = BuildQuoteUrl(m_base, row.entry.code);
        const QuoteFetcher::Ticket ticket =
            m_inet1->fetch(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode));
        m_rowOfTicket.emplace(ticket, row.id);
        m_waiting.insert(row.id);
    }
}

void QuoteRefresh::onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto it = m_rowOfTicket.find(ticket);
    if (it == m_rowOfTicket.end())
        return;
    const std::uint64_t rowId = it->second;
    m_rowOfTicket.erase(it);
    m_waiting.erase(rowId);

    // A failed fetch counts as the empty reply: every figure empty, the row red.
    const QuoteReply reply =
        result.ok ? ParseQuoteReply(result.body.toStdString()) : QuoteReply{};
    WatchListModel::Quote quote;
    quote.name = reply.name.value_or(std::string());
    quote.price = reply.price.value_or(std::string());
    quote.high = reply.high.value_or(std::string());
    quote.low = reply.low.value_or(std::string());
    quote.change = reply.change.value_or(std::string());
    const bool written = m_model.setQuote(rowId, quote);
    emit answered(rowId, result.ok, written);
}

} // namespace velmora
