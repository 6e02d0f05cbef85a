#pragma once

#include "core/refreshpolicy.h"
#include "platform/quotefetcher.h"
#include "platform/userconfig.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QString>

#include <unordered_set>

class QTimer;

namespace velmora {

class QuoteClient;
class QuoteSources;
class WatchList;
struct RowAnswer;

// Keeps the list's figures current: at every tick of its timer ("Timer1", 8 s unless set
// otherwise) it asks the chosen source, through its own fetcher ("Inet1"), for every row that is
// not still waiting, and writes each answer into the row it was asked for by the row's id: name,
// price, high, low, change and colour. A failed quote empties the row's figures and turns it red.
// Nothing waits on the network, so one dead row never holds up the others.
//
// The described service and the demo keep their timing: the first request one interval after
// start, one per row, at every tick. The public pages are asked politely: at once at start and
// after a change to the list, then at every tick while the market trades and at most once every
// 5 minutes while it does not (unless the user turned the slow-down off), and not at all while
// a failing page backs off.
class QuoteRefresh final : public QObject
{
    Q_OBJECT

public:
    QuoteRefresh(WatchList &list, QuoteSources &sources, QObject *parent = nullptr);
    ~QuoteRefresh() override;

    // Starts the timer; nothing stops it.
    void start();
    // One tick.
    void refreshAll();

    QTimer *timer() const { return m_timer; }
    QuoteFetcher *fetcher() const;
    // Rows whose answer is still out.
    int waitingRows() const { return static_cast<int>(m_waiting.size()); }
    // Which source answered last and when, or that fetching fails and when the next try is.
    QString status() const { return m_status; }

signals:
    // One answer was handled: written to its row (written) or dropped because the row is gone.
    void answered(velmora::RowId rowId, bool fetchOk, bool written);
    void statusChanged(const QString &status);

private:
    void onAnswered(const RowAnswer &answer);
    void onRequestEnded(QuoteSourceKind source, bool ok);
    void onSourcesChanged();
    void setStatus(const QString &status);
    void markStaleRows(std::int64_t now);

    WatchList &m_list;
    QuoteSources &m_sources;
    QuoteClient *m_client;
    QTimer *m_timer;
    std::unordered_set<RowId> m_waiting;
    MarketWatch m_market;
    bool m_forced = true; // the next refresh asks whatever the hour
    QString m_status;
};

} // namespace velmora
