#include "services/stocklookup.h"

#include "core/quotereply.h"
#include "services/quotebatcher.h"

#include <QTimer>

namespace velmora {

StockLookup::StockLookup(SourcePolicy &policy, QObject *parent)
    : QObject(parent), m_batcher(new QuoteBatcher(policy, this))
{
    setObjectName(QStringLiteral("stockLookup"));
    m_batcher->queue()->setObjectName(QStringLiteral("Inet1"));
    connect(m_batcher, &QuoteBatcher::answered, this, &StockLookup::onAnswered);
}

HttpQueue *StockLookup::queue() const
{
    return m_batcher->queue();
}

void StockLookup::lookUp(const std::string &code)
{
    m_batcher->abortAll();
    m_running = true;
    if (!m_batcher->ask({{0, code}})) {
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
    m_batcher->abortAll();
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
