#pragma once

// A thousand rows refreshed against a server that breaks in every way we know of, while rows
// come and go. Shared by the load test (which checks where every answer went) and the load
// benchmark (which prints memory and stalls), so that both run the same load.

#include "platform/httpqueue.h"
#include "services/quoterefresh.h"
#include "services/sourcepolicy.h"
#include "support/brokenserver.h"
#include "watchlist/watchlist.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <random>
#include <unordered_map>
#include <vector>

namespace velmora::testing {

using LoadBehaviour = BrokenServer::Behaviour;

struct LoadPlan
{
    int rows = 1000;
    // Timer1's 8 s and the fetcher's 60 s, both eight times shorter: a run of two minutes
    // holds the ticks of a quarter of an hour, and hanging rows come round again, while the
    // time limit still spans seven and a half ticks, as it does in the program.
    int tickMs = 1000;
    int timeoutMs = 7500;
    // Between ticks, one change to the list this often: a removal with an addition.
    int churnMs = 400;
    // Rows removed (and as many added) right after every tick, while their requests are out.
    int removedAfterTick = 2;
    int dripMs = 100;
    // Codes the server knows; the list stops growing when they run out.
    int codePool = 0;
    std::uint32_t seed = 20261207;
};

// Enough codes for a run of this length.
int CodesNeeded(const LoadPlan &plan, int seconds);

// The index-th code of the load: six digits.
QByteArray LoadCode(int index);
// What the server does for a code, fixed by its number. Of every thousand codes, two hang and
// two drip (fewer than the fetcher's six connections, so the others keep refreshing), and ten
// each are reset, get a 500 page, get 5 MiB with a length, 5 MiB without one, GBK without a
// charset, or twelve fields; the other 936 are answered properly.
LoadBehaviour BehaviourOfCode(const QByteArray &code);
QByteArray BehaviourName(LoadBehaviour behaviour);
QList<LoadBehaviour> AllLoadBehaviours();
// The reply text for a code. Every one of its five figures carries the code, so a reply written
// into another row's cells is seen at once.
QByteArray LoadReply(const QByteArray &code);
// Name, price, high, low and change a row of this code shows after a successful fetch, and its
// colour then (after a failed one: every figure empty, red).
QStringList FiguresAfterSuccess(const QByteArray &code);
RowColour ColourAfterSuccess(const QByteArray &code);
// Whether a fetch of this code can succeed at all.
bool FetchCanSucceed(LoadBehaviour behaviour);

// Gives every code of the plan its behaviour and its reply.
void ConfigureServer(BrokenServer &server, const LoadPlan &plan);

class RefreshLoad : public QObject
{
    Q_OBJECT

public:
    struct Counts
    {
        int ticks = 0;
        qint64 asked = 0;    // requests the refresh handed to its fetcher
        qint64 ok = 0;       // answers written or dropped that carried a reply
        qint64 failed = 0;   // answers that were failures
        qint64 timedOut = 0; // of the failures, those cut by the time limit
        qint64 properTimedOut = 0; // of those, rows the server would have answered properly
        qint64 dropped = 0;  // answers for rows no longer in the list
        qint64 arrived = 0;  // requests the watched server saw
        qint64 targetsChecked = 0; // request targets read from its log
        qint64 foreignTargets = 0; // of those, not the quote address of one of our codes
        int removed = 0, added = 0;
        qint64 longestTickNs = 0; // the longest time one tick of the refresh took
    };

    RefreshLoad(const LoadPlan &plan, const QUrl &base, QObject *parent = nullptr);

    WatchList &list() { return m_list; }
    QuoteRefresh &refresh() { return *m_refresh; }

    // Fills the list with plan.rows rows, read from its files as at start-up.
    void fill();
    // Starts the ticks (every plan.tickMs, each one measured) and the changes to the list.
    void start();
    // Stops both; requests already out go on to their end.
    void stop();
    // A tick by hand, counted like the timed ones.
    void tick();

    // Follows the server's requests as they arrive (the server must live on this thread): no
    // row may have two requests open at the server at once, and a removed row must not be
    // asked again.
    void watch(BrokenServer &server);
    // Reads the watched server's request log (every target a quote address of one of our
    // codes) and empties it, which every tick also does: the log keeps each request's read
    // buffer, tens of KiB, and would otherwise grow by a gigabyte in a run.
    void auditServerLog();

    const Counts &counts() const { return m_counts; }
    // Everything seen that must not happen, one line each.
    const QStringList &problems() const { return m_problems; }
    // The codes of the rows now in the list, in list order.
    QList<QByteArray> liveCodes() const;
    // Answers handled for a row since the last tick.
    int answersSinceTick(const QByteArray &code) const;
    // How the last answer of a row ended: succeeded, or failed (and whether by the time limit).
    struct LastAnswer
    {
        int answers = 0;
        bool ok = false;
        bool timedOut = false;
    };
    LastAnswer lastAnswer(const QByteArray &code) const;
    // Requests for a code the watched server saw, and how many of its kind.
    int arrivals(const QByteArray &code) const;
    int arrivalsOf(LoadBehaviour behaviour) const;
    // The most requests open at the server at once for one row.
    int mostOpenForOneRow() const { return m_mostOpenForOneRow; }
    // Removed rows that were still waiting for an answer when they went.
    int removedWhileWaiting() const { return m_removedWhileWaiting; }

    // Name, price, high, low, change as the list shows them.
    QStringList figures(int position) const;

private:
    struct Row
    {
        RowId id = 0;
        bool removed = false;
        bool waiting = false;
        int answersSinceTick = 0;
        LastAnswer last;
        int arrivals = 0;
        int arrivalsAfterRemoval = 0;
        int openAtServer = 0;
    };
    struct Pending
    {
        RowId rowId = 0;
        bool ok = false;
        bool written = false;
    };

    void track(const QByteArray &code, RowId id);
    void addRow();
    void removeRandomRow();
    void churn();
    void onAnswered(RowId rowId, bool ok, bool written);
    void onFetchFinished(const FetchResult &result);
    void problem(const QString &text);
    Row *rowOf(const QByteArray &code);
    const Row *rowOf(const QByteArray &code) const;

    LoadPlan m_plan;
    QTemporaryDir m_dir;
    WatchList m_list;
    std::unique_ptr<SourcePolicy> m_sources;
    QTimer m_ticks;
    QTimer m_churn;
    QuoteRefresh *m_refresh;
    QPointer<BrokenServer> m_server;
    std::mt19937 m_random;
    int m_nextCode = 0;
    std::unordered_map<RowId, QByteArray> m_codeOfRow;
    QHash<QByteArray, Row> m_rows; // by code; codes are never reused
    std::vector<Pending> m_pending;
    Counts m_counts;
    QStringList m_problems;
    std::unordered_map<int, int> m_arrivalsOfBehaviour;
    int m_mostOpenForOneRow = 0;
    int m_removedWhileWaiting = 0;
};

} // namespace velmora::testing
