#include "services/stocklookup.h"

#include "core/quotereply.h"
#include "services/quoteclient.h"

#include <QTimer>

namespace velmora {

StockLookup::StockLookup(QuoteSources &sources, QObject *parent)
    : QObject(parent), m_client(new QuoteClient(sources, this))
{
    setObjectName(QStringLiteral("stockLookup"));
    m_client->fetcher()->setObjectName(QStringLiteral("Inet1"));
    connect(m_client, &QuoteClient::answered, this, &StockLookup::onAnswered);
}

QuoteFetcher *StockLookup::fetcher() const
{
    return m_client->fetcher();
}

void StockLookup::lookUp(const std::string &code)
{
    m_client->abortAll();
    m_running = true;
    if (!m_client->ask({{0, code}})) {
        // Every source backs off: read as a failed fetch, from the event loop like any answer.
        QTimer::singleShot(0, this, [this] {
            if (m_running) {
                m_running = false;
                emit answered(ReadNameLookup(QuoteReply{}));
            }
        });
    }
}

void StockLookup::cancel()
{
    m_client->abortAll();
    m_running = false;
}

void StockLookup::onAnswered(const RowAnswer &answer)
{
    if (!m_running)
        return;
    m_running = false;
    QuoteReply reply; // a failed fetch: the empty reply, every field absent
    if (answer.outcome == RowAnswer::Outcome::Quote) {
        if (answer.quote.hasName)
            reply.name = answer.quote.name;
        if (answer.quote.hasPrice)
            reply.price = answer.quote.price;
    }
    emit answered(ReadNameLookup(reply));
}

} // namespace velmora
