#pragma once

#include "platform/quotefetcher.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QUrl>

#include <unordered_map>
#include <unordered_set>

class QTimer;

namespace velmora {

class WatchList;

// Keeps the list's figures current: every 8 seconds (its timer, "Timer1"), one quote per row
// through its own fetcher ("Inet1"), in list order, written into the row's name, price, high,
// low and change with the row's colour. Nothing waits on the network: a row still waiting for
// an earlier answer is not asked again (so one dead row never holds up the others), and each
// answer goes to the row it was asked for, by the row's id, so a row removed meanwhile is
// skipped and a row added meanwhile is asked at the next tick. A failed fetch counts as the
// empty reply: every figure empty, the row red.
class QuoteRefresh final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 8000;

    QuoteRefresh(WatchList &list, const QUrl &quoteBase, QObject *parent = nullptr);

    // Starts the timer: the first refresh comes one interval later, and nothing stops it.
    void start();
    // One tick: asks every row that is not still waiting.
    void refreshAll();

    QTimer *timer() const { return m_timer; }
    QuoteFetcher *fetcher() const { return m_fetcher; }
    // Rows whose answer is still out.
    int waitingRows() const { return static_cast<int>(m_waiting.size()); }

signals:
    // One answer was handled: written to its row (written) or dropped because the row is gone.
    void answered(velmora::RowId rowId, bool fetchOk, bool written);

private:
    void onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result);

    WatchList &m_list;
    QTimer *m_timer;
    QuoteFetcher *m_fetcher;
    QUrl m_base;
    std::unordered_map<QuoteFetcher::Ticket, RowId> m_rowOfTicket;
    std::unordered_set<RowId> m_waiting;
};

} // namespace velmora
