#pragma once

#include "platform/quotefetcher.h"
#include "services/quotesource.h"
#include "watchlist/watchrow.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <map>
#include <string>
#include <vector>

namespace velmora {

class QuoteSources;

struct RowAsk
{
    RowId row = 0;
    std::string code;
};

// What one row's request brought.
struct RowAnswer
{
    enum class Outcome {
        Quote,     // the reply held a quote for the row
        Failed,    // no answer, or none for this row: the row's figures go empty
        Unaskable, // the source cannot ask this code; why says so
    };
    RowId row = 0;
    Outcome outcome = Outcome::Failed;
    StockQuote quote;
    QString why;
    qint64 sentAtMs = 0; // when its request went out, on the client's steady clock
};

// Asks the chosen source for rows through a fetcher of its own: one request per row for the
// described service, up to a batch of codes per request for the public pages (a code asked by
// several rows goes out once). In auto, the codes of a request that fails go to the second page
// at once. Each row is answered exactly once per ask, unless abortAll() comes first.
class QuoteClient final : public QObject
{
    Q_OBJECT

public:
    explicit QuoteClient(QuoteSources &sources, QObject *parent = nullptr);
    ~QuoteClient() override;

    // False when no source may be asked now (all back off): nothing was asked, nothing will be
    // answered. Rows the source cannot ask are answered before this returns.
    bool ask(const std::vector<RowAsk> &rows);
    void abortAll();

    QuoteFetcher *fetcher() const { return m_fetcher; }
    qint64 clockMs() const { return m_clock.elapsed(); }

signals:
    void answered(const velmora::RowAnswer &answer);
    // One request ended, its rows answered: whether the source answered.
    void requestEnded(velmora::QuoteSourceKind source, bool ok);

private:
    struct Pending
    {
        QuoteSource *source = nullptr;
        std::vector<std::string> keys;
        std::map<std::string, std::vector<RowId>> rowsOfKey;
        qint64 sentAtMs = 0;
        bool standIn = false; // already the second page's turn
    };
    void send(Pending pending);
    void onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result);
    void answerAll(const Pending &pending, const std::map<std::string, StockQuote> &quotes);

    QuoteSources &m_sources;
    QuoteFetcher *m_fetcher;
    QElapsedTimer m_clock;
    std::map<QuoteFetcher::Ticket, Pending> m_pending;
};

} // namespace velmora
