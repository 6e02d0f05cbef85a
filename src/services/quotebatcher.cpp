#include "services/quotebatcher.h"

#include "core/refreshpolicy.h"
#include "core/tradingclock.h"
#include "services/quoteformat.h"
#include "services/sourcepolicy.h"

#include <QDateTime>

#include <algorithm>
#include <optional>

namespace velmora {

QuoteBatcher::QuoteBatcher(SourcePolicy &policy, QObject *parent)
    : QObject(parent), m_policy(policy), m_queue(new HttpQueue(this))
{
    connect(m_queue, &HttpQueue::finished, this, &QuoteBatcher::onFinished);
}

QuoteBatcher::~QuoteBatcher() = default;

bool QuoteBatcher::ask(const std::vector<RowAsk> &rows)
{
    QuoteFormat *format = m_policy.sourceToAsk();
    if (!format)
        return false;
    // The custom service is asked once per row; a page once per code, each market's codes in
    // the order their rows come, a batch at a time.
    std::vector<Pending> requests;
    std::map<Market, std::vector<std::string>> order;
    std::map<std::string, std::vector<RowId>> owners;
    for (const RowAsk &row : rows) {
        const auto key = format->keyOf(row.code);
        if (!key) {
            RowAnswer answer;
            answer.row = row.row;
            answer.outcome = RowAnswer::Outcome::Unaskable;
            answer.why = format->unaskableText(row.code);
            answer.sentAtMs = m_policy.steadyMs();
            emit answered(answer);
        } else if (format->batchSize() == 1) {
            Pending single;
            single.market = key->market;
            single.keys = {key->key};
            single.rowsOfKey[key->key] = {row.row};
            requests.push_back(std::move(single));
        } else {
            auto &rowsOfKey = owners[key->key];
            if (rowsOfKey.empty())
                order[key->market].push_back(key->key);
            rowsOfKey.push_back(row.row);
        }
    }
    for (const auto &[market, keys] : order) {
        for (std::size_t start = 0; start < keys.size(); start += format->batchSize()) {
            Pending batch;
            batch.market = market;
            for (std::size_t i = start; i < std::min(keys.size(), start + format->batchSize()); ++i) {
                batch.keys.push_back(keys[i]);
                batch.rowsOfKey[keys[i]] = std::move(owners[keys[i]]);
            }
            requests.push_back(std::move(batch));
        }
    }
    for (Pending &request : requests) {
        request.format = format;
        send(std::move(request));
    }
    return true;
}

void QuoteBatcher::send(Pending pending)
{
    const QuoteRequest request = pending.format->request(pending.keys);
    pending.sentAtMs = m_policy.steadyMs();
    const HttpQueue::Ticket ticket = m_queue->fetch(request.url, request.referer);
    m_pending.emplace(ticket, std::move(pending));
}

void QuoteBatcher::abortAll()
{
    m_queue->abortAll();
    m_pending.clear();
}

void QuoteBatcher::onFinished(HttpQueue::Ticket ticket, const FetchResult &result)
{
    const auto it = m_pending.find(ticket);
    if (it == m_pending.end())
        return;
    Pending pending = std::move(it->second);
    m_pending.erase(it);

    // A page that refuses answers 200 all the same: only a reply that names a code asked is one.
    const auto quotes = result.ok ? pending.format->read(result.text, pending.keys) : std::nullopt;
    if (quotes) {
        m_policy.reportSuccess(pending.format);
        answerAll(pending, *quotes, {});
        emit requestEnded(pending.format->kind(), pending.market, true);
        return;
    }
    m_policy.reportFailure(pending.format, pending.sentAtMs,
                           ParseRetryAfter(result.retryAfter.toStdString(), m_policy.now()));
    if (QuoteFormat *standIn = pending.standIn ? nullptr : m_policy.fallbackFor(pending.format)) {
        emit requestEnded(pending.format->kind(), pending.market, false);
        pending.format = standIn;
        pending.standIn = true;
        send(std::move(pending));
        return;
    }
    // A failed fetch counts as the empty reply: the rows' figures go empty, and say why.
    const std::int64_t next = m_policy.nextTry();
    const std::string retry =
        QDateTime::fromSecsSinceEpoch(next > 0 ? next : m_policy.now() + m_policy.intervalSeconds())
            .toString(QStringLiteral("HH:mm"))
            .toStdString();
    const std::string host = pending.format->request(pending.keys).url.host().toStdString();
    const std::string what = result.ok          ? host + " 没有返回行情"
                             : result.status == 0 ? "无法连接 " + host
                                                  : host + " 回复出错（HTTP " + std::to_string(result.status) + "）";
    answerAll(pending, {}, what + "，" + retry + " 重试");
    emit requestEnded(pending.format->kind(), pending.market, false);
}

void QuoteBatcher::answerAll(const Pending &pending, const QuotesByKey &quotes, const std::string &why)
{
    // The newest quote time of the reply, against which each quote's age is told.
    std::optional<std::int64_t> newest;
    for (const auto &[key, quote] : quotes) {
        if (const auto at = MarketUnixSeconds(quote.market, quote.date, quote.time))
            newest = std::max(newest.value_or(*at), *at);
    }
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
                if (const auto at = MarketUnixSeconds(answer.quote.market, answer.quote.date,
                                                      answer.quote.time))
                    answer.quoteAgeMs = (*newest - *at) * 1000;
            } else {
                answer.why = why;
            }
            emit answered(answer);
        }
    }
}

} // namespace velmora
