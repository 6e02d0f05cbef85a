#include "services/stocklookup.h"

#include "core/quotereply.h"
#include "services/quoteaddressing.h"

namespace velmora {

StockLookup::StockLookup(const QUrl &quoteBase, QObject *parent)
    : QObject(parent), m_fetcher(new QuoteFetcher(this)), m_base(quoteBase)
{
    setObjectName(QStringLiteral("stockLookup"));
    m_fetcher->setObjectName(QStringLiteral("Inet1"));
    connect(m_fetcher, &QuoteFetcher::finished, this, &StockLookup::onFinished);
}

void StockLookup::lookUp(const std::string &code)
{
    m_fetcher->abortAll();
    m_ticket = m_fetcher->fetch(QuoteAddress(m_base, code));
}

void StockLookup::cancel()
{
    m_fetcher->abortAll();
    m_ticket.reset();
}

void StockLookup::onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    if (!m_ticket || ticket != *m_ticket)
        return;
    m_ticket.reset();
    const std::string reply = result.ok ? result.body.toStdString() : std::string();
    emit answered(ReadNameLookup(ParseQuoteReply(reply)));
}

} // namespace velmora
