#pragma once

#include "core/quote.h"
#include "platform/httpqueue.h"
#include "platform/userconfig.h"
#include "watchlist/watchrow.h"

#include <QObject>

#include <map>
#include <string>
#include <vector>

namespace velmora {

class QuoteFormat;
class SourcePolicy;

struct RowAsk
{
    RowId row = 0;
    std::string code;
};

// What one row's request brought: the row's quote as the reply gave it, or why there is none.
struct RowAnswer
{
    enum class Outcome {
        Quote,     // the reply held a quote for the row
        Failed,    // no answer, or none for this row: the row's figures go empty
        Unaskable, // the source cannot ask this code; why says so
    };
    RowId row = 0;
    Outcome outcome = Outcome::Failed;
    Quote quote;
    std::string why;     // UTF-8: why there is no quote (Unaskable, Failed)
    qint64 sentAtMs = 0; // when its request went out, on the source policy's steady clock
    // How far its quote's own time lies behind the newest quote of the same reply (ms): a quote
    // the page no longer updates shows here, whatever this machine's clock says.
    qint64 quoteAgeMs = 0;
};

// Asks the source the policy chooses for rows, through an HTTP queue of its own: one request
// per row for the custom service, up to a batch of codes per request for the public pages (a
// code asked by several rows goes out once, and each market's codes go out in requests of their
// own). In auto, the codes of a request that fails go to the second page at once. Each row is answered exactly once per ask, unless abortAll() comes
// first.
class QuoteBatcher final : public QObject
{
    Q_OBJECT

public:
    explicit QuoteBatcher(SourcePolicy &policy, QObject *parent = nullptr);
    ~QuoteBatcher() override;

    // False when no source may be asked now (all back off): nothing was asked, nothing will be
    // answered. Rows the source cannot ask are answered before this returns.
    bool ask(const std::vector<RowAsk> &rows);
    void abortAll();

    HttpQueue *queue() const { return m_queue; }

signals:
    void answered(const velmora::RowAnswer &answer);
    // One request ended, its rows answered: whether the source answered, for one market's codes.
    void requestEnded(velmora::QuoteSourceKind source, velmora::Market market, bool ok);

private:
    struct Pending
    {
        QuoteFormat *format = nullptr;
        Market market = Market::AShare;
        std::vector<std::string> keys;
        std::map<std::string, std::vector<RowId>> rowsOfKey;
        qint64 sentAtMs = 0;
        bool standIn = false; // already the second page's turn
    };
    void send(Pending pending);
    void onFinished(HttpQueue::Ticket ticket, const FetchResult &result);
    void answerAll(const Pending &pending, const QuotesByKey &quotes, const std::string &why);

    SourcePolicy &m_policy;
    HttpQueue *m_queue;
    std::map<HttpQueue::Ticket, Pending> m_pending;
};

} // namespace velmora
