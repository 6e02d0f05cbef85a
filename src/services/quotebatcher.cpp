#include "services/quoteclient.h"

#include "core/marketsymbol.h"
#include "core/refreshpolicy.h"
#include "services/quotesources.h"

#include <algorithm>

namespace velmora {

QuoteClient::QuoteClient(QuoteSources &sources, QObject *parent)
    : QObject(parent), m_sources(sources), m_fetcher(new QuoteFetcher(this))
{
    m_clock.start();
    connect(m_fetcher, &QuoteFetcher::finished, this, &QuoteClient::onFinished);
}

QuoteClient::~QuoteClient() = default;

bool QuoteClient::ask(const std::vector<RowAsk> &rows)
{
    QuoteSource *source = m_sources.sourceToAsk(m_sources.now());
    if (!source)
        return false;
    // The described service is asked once per row, as it always was; a page once per code, the
    // codes in the order their rows come, a batch at a time.
    std::vector<Pending> requests;
    std::vector<std::string> order;
    std::map<std::string, std::vector<RowId>> owners;
    for (const RowAsk &row : rows) {
        const auto key = source->keyOf(row.code);
        if (!key) {
            RowAnswer answer;
            answer.row = row.row;
            answer.outcome = RowAnswer::Outcome::Unaskable;
            answer.why = QString::fromStdString(UnaskableCodeText(row.code));
            answer.sentAtMs = m_clock.elapsed();
            emit answered(answer);
        } else if (source->batchSize() == 1) {
            Pending single;
            single.keys = {*key};
            single.rowsOfKey[*key] = {row.row};
            requests.push_back(std::move(single));
        } else {
            auto &rowsOfKey = owners[*key];
            if (rowsOfKey.empty())
                order.push_back(*key);
            rowsOfKey.push_back(row.row);
        }
    }
    for (std::size_t start = 0; start < order.size(); start += source->batchSize()) {
        Pending batch;
        for (std::size_t i = start; i < std::min(order.size(), start + source->batchSize()); ++i) {
            batch.keys.push_back(order[i]);
            batch.rowsOfKey[order[i]] = std::move(owners[order[i]]);
        }
        requests.push_back(std::move(batch));
    }
    for (Pending &request : requests) {
        request.source = source;
        send(std::move(request));
    }
    return true;
}

void QuoteClient::send(Pending pending)
{
    const QuoteRequest request = pending.source->request(pending.keys);
    pending.sentAtMs = m_clock.elapsed();
    const QuoteFetcher::Ticket ticket = m_fetcher->fetch(request.url, request.referer);
    m_pending.emplace(ticket, std::move(pending));
}

void QuoteClient::abortAll()
{
    m_fetcher->abortAll();
    m_pending.clear();
}

void QuoteClient::onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto it = m_pending.find(ticket);
    if (it == m_pending.end())
        return;
    Pending pending = std::move(it->second);
    m_pending.erase(it);

    const std::string body = result.ok ? result.body.toStdString() : std::string();
    const bool ok = result.ok && pending.source->readable(body);
    const std::int64_t now = m_sources.now();
    if (ok) {
        m_sources.reportSuccess(pending.source);
        answerAll(pending, pending.source->read(body, pending.keys));
    } else {
        m_sources.reportFailure(pending.source, now,
                                ParseRetryAfter(result.retryAfter.toStdString(), now));
        QuoteSource *standIn = pending.standIn ? nullptr : m_sources.fallbackFor(pending.source, now);
        if (standIn) {
            emit requestEnded(pending.source->kind(), false);
            pending.source = standIn;
            pending.standIn = true;
            send(std::move(pending));
            return;
        }
        // A failed fetch counts as the empty reply: the rows' figures go empty.
        answerAll(pending, {});
    }
    emit requestEnded(pending.source->kind(), ok);
}

void QuoteClient::answerAll(const Pending &pending, const std::map<std::string, StockQuote> &quotes)
{
    for (const std::string &key : pending.keys) {
        const auto quote = quotes.find(key);
        const auto owners = pending.rowsOfKey.find(key);
        if (owners == pending.rowsOfKey.end())
            continue;
        for (const RowId row : owners->second) {
            RowAnswer answer;
            answer.row = row;
            answer.sentAtMs = pending.sentAtMs;
            if (quote != quotes.end()) {
                answer.outcome = RowAnswer::Outcome::Quote;
                answer.quote = quote->second;
            }
            emit answered(answer);
        }
    }
}

} // namespace velmora
