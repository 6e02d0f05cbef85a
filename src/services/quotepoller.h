#pragma once

#include "core/refreshpolicy.h"
#include "platform/httpqueue.h"
#include "platform/userconfig.h"
#include "watchlist/watchrow.h"

#include <QObject>

#include <cstdint>
#include <map>

class QTimer;

namespace velmora {

class QuoteBatcher;
class SourcePolicy;
class WatchList;
struct RowAnswer;

// Asks every row of the list for its quote on a cadence of its own and hears the answers: the
// quote refresh and the alert monitor each own one, with its own timer and its own HTTP queue,
// and never share requests or answers. A tick asks every row that is not still waiting for an
// earlier answer, so one dead row never holds up the others and a hanging service never piles
// up requests. The public pages are asked politely, each market's codes at that market's pace:
// at every tick while it trades, at most once every 5 minutes while it does not (unless the
// slow-down is off), at once after the list or the source changed, and not at all while every
// source backs off. The custom service and the demo are asked at every tick.
class QuotePoller final : public QObject
{
    Q_OBJECT

public:
    // The timer and the queue carry the given object names, for screen readers and tests.
    QuotePoller(const WatchList &list, SourcePolicy &policy, const QString &timerName,
                const QString &queueName, QObject *parent = nullptr);
    ~QuotePoller() override;

    // Starts the timer: the first tick one interval from now.
    void start();
    // Stops the timer; requests still out are dropped and nothing they bring is heard.
    void stop();
    bool isActive() const;
    // One tick.
    void poll();

    QTimer *timer() const { return m_timer; }
    HttpQueue *queue() const;
    // The steady clock answers are timed on (RowAnswer::sentAtMs), in ms.
    qint64 clockMs() const;
    // Rows whose answer is still out.
    int waitingRows() const { return static_cast<int>(m_waiting.size()); }
    // Whether the market trades now, as far as its hours and its quotes' dates tell.
    bool marketOpen(Market market, std::int64_t wallNow) const;

signals:
    // A tick begins, at now (Unix seconds), before anything is asked.
    void polling(std::int64_t now);
    // One row's answer; only rows still waiting are heard.
    void answered(const velmora::RowAnswer &answer);
    // One request ended, its rows answered: whether the source answered one market's codes.
    void requestEnded(velmora::QuoteSourceKind source, velmora::Market market, bool ok);
    // Every source backs off: this tick asked nothing.
    void askRefused();
    // Every request of the latest tick has been answered (at once when it asked nothing).
    void pollAnswered();
    // The source or its settings changed: what was out was dropped, and the next tick asks.
    void sourceChanged();

private:
    void onAnswered(const RowAnswer &answer);
    void onPolicyChanged();
    void tellTickAnswered();

    const WatchList &m_list;
    SourcePolicy &m_policy;
    QuoteBatcher *m_batcher;
    QTimer *m_timer;
    std::map<Market, MarketWatch> m_markets;
    bool m_forced = true; // the next tick asks whatever the hour
    // Rows asked and not yet answered, with the tick that asked them.
    std::map<RowId, std::uint64_t> m_waiting;
    std::uint64_t m_tick = 0;
    int m_unansweredThisTick = 0;
    bool m_tickTold = false; // pollAnswered() was emitted for this tick
};

} // namespace velmora
