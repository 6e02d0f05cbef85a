#pragma once

#include "core/market.h"
#include "platform/userconfig.h"
#include "watchlist/watchrow.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <map>

class QTimer;

namespace velmora {

class HttpQueue;
struct Quote;
class QuotePoller;
class SourcePolicy;
class WatchList;
struct RowAnswer;

// Keeps the list's figures current: at every tick of its timer ("Timer1", 8 s unless set
// otherwise) it asks for every row not still waiting, through its own HTTP queue ("Inet1"),
// and writes each answer into the row it was asked for by the row's id: the quote and the
// colour. A failed quote empties the row's figures and turns it red. The custom service and
// the demo keep their timing, the first request one interval after start; the public pages are
// asked at once at start, then as politely as QuotePoller says.
class QuoteRefresh final : public QObject
{
    Q_OBJECT

public:
    QuoteRefresh(WatchList &list, SourcePolicy &policy, QObject *parent = nullptr);
    ~QuoteRefresh() override;

    // Starts the timer; nothing stops it.
    void start();
    // One tick.
    void refreshAll();

    QTimer *timer() const;
    HttpQueue *queue() const;
    // Rows whose answer is still out.
    int waitingRows() const;
    // Which source answered last and when, or that fetching fails and when the next try is.
    QString status() const { return m_status; }

signals:
    // One answer was handled: written to its row (written) or dropped because the row is gone.
    void answered(velmora::RowId rowId, bool fetchOk, bool written);
    void statusChanged(const QString &status);

private:
    void onAnswered(const RowAnswer &answer);
    void onRequestEnded(QuoteSourceKind source, Market market, bool ok);
    void onSourceChanged();
    void setStatus(const QString &status);
    void markStaleRows(std::int64_t now);
    int delayMinutes(const Quote &quote, std::int64_t now) const;

    WatchList &m_list;
    SourcePolicy &m_policy;
    QuotePoller *m_poller;
    QString m_status;
    // When each market's codes were last answered (Unix seconds).
    std::map<Market, std::int64_t> m_lastGood;
};

} // namespace velmora
