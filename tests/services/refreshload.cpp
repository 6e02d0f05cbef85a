#include "services/refreshload.h"

#include "support/sources.h"

#include "core/watchliststore.h"
#include "support/replies.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace velmora::testing {

namespace {

// More than this many lines of problems only repeat the first ones.
constexpr int kMaxProblemLines = 40;

struct Figures
{
    QByteArray name, price, high, low, change;
};

// Odd codes fall, even ones rise.
bool Falls(const QByteArray &code)
{
    return (code.toInt() % 2) != 0;
}

Figures FiguresOf(const QByteArray &code)
{
    return {"行情" + code, code + ".10", code + ".20", code + ".05",
            (Falls(code) ? "-1." : "1.") + code.right(2) + '%'};
}

const QStringList kEmptyFigures = {QString(), QString(), QString(), QString(), QString()};

// The list's files change several times a second; they live in memory where the system
// offers that, so that the load measures the refresh rather than the disk's flushes.
QString ListFolderTemplate()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return (shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath()) +
           QStringLiteral("/velmora-load-XXXXXX");
}

// The server holds these requests open until the client gives up; it answers the others at
// once, within the same turn of its event loop.
bool ServerHoldsOpen(LoadBehaviour behaviour)
{
    return behaviour == LoadBehaviour::Hang || behaviour == LoadBehaviour::Drip;
}

// Requests for a row the server may still see after the row was removed: the one that was
// out. When the connection is dropped before any answer, the network layer sends the same
// request again by itself, twice at most, so a reset row's one request may arrive three times.
int ArrivalsAllowedAfterRemoval(LoadBehaviour behaviour)
{
    return behaviour == LoadBehaviour::Reset ? 3 : 1;
}

} // namespace

int CodesNeeded(const LoadPlan &plan, int seconds)
{
    const qint64 ms = qint64(seconds) * 1000;
    const qint64 churnSteps = ms / std::max(1, plan.churnMs) + 1;
    const qint64 ticks = ms / std::max(1, plan.tickMs) + 1;
    return static_cast<int>(
        std::min<qint64>(plan.rows + churnSteps + ticks * plan.removedAfterTick + 16, 899999));
}

QByteArray LoadCode(int index)
{
    return QByteArray::number(100000 + index);
}

LoadBehaviour BehaviourOfCode(const QByteArray &code)
{
    const int number = code.toInt();
    switch (number % 500) {
    case 0: return LoadBehaviour::Hang;
    case 250: return LoadBehaviour::Drip;
    default: break;
    }
    switch (number % 100) {
    case 2: return LoadBehaviour::Reset;
    case 3: return LoadBehaviour::ServerError;
    case 4: return LoadBehaviour::Huge;
    case 5: return LoadBehaviour::HugeUnannounced;
    case 6: return LoadBehaviour::GbkNoCharset;
    case 7: return LoadBehaviour::FewFields;
    default: return LoadBehaviour::Proper;
    }
}

QByteArray BehaviourName(LoadBehaviour behaviour)
{
    switch (behaviour) {
    case LoadBehaviour::Proper: return "proper reply";
    case LoadBehaviour::Hang: return "hanging";
    case LoadBehaviour::Hold: return "held";
    case LoadBehaviour::Reset: return "reset";
    case LoadBehaviour::Drip: return "slow drip";
    case LoadBehaviour::ServerError: return "500 page";
    case LoadBehaviour::Huge: return "5 MiB";
    case LoadBehaviour::HugeUnannounced: return "5 MiB without a length";
    case LoadBehaviour::GbkNoCharset: return "GBK without charset";
    case LoadBehaviour::FewFields: return "twelve fields";
    case LoadBehaviour::NotFound: return "404";
    }
    return "?";
}

QList<LoadBehaviour> AllLoadBehaviours()
{
    return {LoadBehaviour::Proper,      LoadBehaviour::Hang,         LoadBehaviour::Drip,
            LoadBehaviour::Reset,       LoadBehaviour::ServerError,  LoadBehaviour::Huge,
            LoadBehaviour::HugeUnannounced, LoadBehaviour::GbkNoCharset, LoadBehaviour::FewFields};
}

QByteArray LoadReply(const QByteArray &code)
{
    const Figures f = FiguresOf(code);
    return QuoteReplyText(f.name, f.price, f.change, f.high, f.low);
}

QStringList FiguresAfterSuccess(const QByteArray &code)
{
    Figures f = FiguresOf(code);
    if (BehaviourOfCode(code) == LoadBehaviour::FewFields)
        f.low.clear(); // the reply ends before the day low
    return {QString::fromUtf8(f.name), QString::fromUtf8(f.price), QString::fromUtf8(f.high),
            QString::fromUtf8(f.low), QString::fromUtf8(f.change)};
}

RowColour ColourAfterSuccess(const QByteArray &code)
{
    return Falls(code) ? RowColour::Blue : RowColour::Red;
}

bool FetchCanSucceed(LoadBehaviour behaviour)
{
    return behaviour == LoadBehaviour::Proper || behaviour == LoadBehaviour::GbkNoCharset ||
           behaviour == LoadBehaviour::FewFields;
}

void ConfigureServer(BrokenServer &server, const LoadPlan &plan)
{
    for (int i = 0; i < plan.codePool; ++i) {
        const QByteArray code = LoadCode(i);
        server.setBehaviour(code, BehaviourOfCode(code));
        server.setReply(code, LoadReply(code));
    }
    server.setDripIntervalMs(plan.dripMs);
}

RefreshLoad::RefreshLoad(const LoadPlan &plan, const QUrl &base, QObject *parent)
    : QObject(parent), m_plan(plan), m_dir(ListFolderTemplate()),
      m_list(m_dir.path().toStdString()), m_sources(MakeSources(base)),
      m_refresh(new QuoteRefresh(m_list, *m_sources, this)),
      m_random(plan.seed)
{
    if (m_plan.codePool <= 0)
        m_plan.codePool = plan.rows;
    m_refresh->queue()->setTimeoutMs(m_plan.timeoutMs);

    // Our own ticks rather than the refresh's timer, so that each one is measured.
    m_ticks.setInterval(m_plan.tickMs);
    connect(&m_ticks, &QTimer::timeout, this, &RefreshLoad::tick);
    m_churn.setInterval(m_plan.churnMs);
    connect(&m_churn, &QTimer::timeout, this, &RefreshLoad::churn);

    // The refresh connected first, so by the time these run it has handled the answer.
    connect(m_refresh, &QuoteRefresh::answered, this, &RefreshLoad::onAnswered);
    connect(m_refresh->queue(), &HttpQueue::finished, this,
            [this](HttpQueue::Ticket, const FetchResult &result) { onFetchFinished(result); });
}

void RefreshLoad::fill()
{
    WatchEntries entries;
    while (int(entries.size()) < m_plan.rows && m_nextCode < m_plan.codePool) {
        const std::string code = LoadCode(m_nextCode++).toStdString();
        entries.push_back({code, "tp" + code, "sl" + code});
    }
    if (RewriteWatchFiles(m_dir.path().toStdString(), entries) || m_list.load())
        problem(QStringLiteral("the list's files could not be written or read"));
    for (int position = 0; position < m_list.rowCount(); ++position) {
        const WatchRow &row = m_list.rowAt(position);
        track(QByteArray::fromStdString(row.entry.code), row.id);
    }
}

void RefreshLoad::start()
{
    m_ticks.start();
    m_churn.start();
}

void RefreshLoad::stop()
{
    m_ticks.stop();
    m_churn.stop();
}

void RefreshLoad::tick()
{
    ++m_counts.ticks;
    int expected = 0;
    for (int position = 0; position < m_list.rowCount(); ++position) {
        const Row *row = rowOf(QByteArray::fromStdString(m_list.rowAt(position).entry.code));
        if (row && !row->waiting)
            ++expected;
    }
    const int before = m_refresh->queue()->outstanding();
    QElapsedTimer clock;
    clock.start();
    m_refresh->refreshAll();
    m_counts.longestTickNs = std::max(m_counts.longestTickNs, clock.nsecsElapsed());
    const int asked = m_refresh->queue()->outstanding() - before;
    m_counts.asked += asked;
    if (asked != expected) {
        problem(QStringLiteral("tick %1 asked %2 rows; %3 were not waiting")
                    .arg(m_counts.ticks)
                    .arg(asked)
                    .arg(expected));
    }
    for (int position = 0; position < m_list.rowCount(); ++position) {
        if (Row *row = rowOf(QByteArray::fromStdString(m_list.rowAt(position).entry.code))) {
            row->waiting = true;
            row->answersSinceTick = 0;
        }
    }
    auditServerLog();
    // Rows go and come while the tick's requests are out.
    for (int i = 0; m_churn.isActive() && i < m_plan.removedAfterTick; ++i)
        churn();
}

void RefreshLoad::auditServerLog()
{
    if (!m_server)
        return;
    for (const QByteArray &target : m_server->targets()) {
        ++m_counts.targetsChecked;
        const QByteArray code = target.mid(8);
        if (!target.startsWith("/msq?cn_") || !m_rows.contains(code)) {
            ++m_counts.foreignTargets;
            problem(QStringLiteral("a request for %1").arg(QString::fromLatin1(target)));
        }
    }
    m_server->clearLog();
}

void RefreshLoad::churn()
{
    removeRandomRow();
    addRow();
}

void RefreshLoad::track(const QByteArray &code, RowId id)
{
    m_codeOfRow.emplace(id, code);
    Row row;
    row.id = id;
    m_rows.insert(code, row);
}

// A row added by the user, so the list holds rows with the placeholder in either column: the
// name of the rows read at start-up, the price of the added ones.
void RefreshLoad::addRow()
{
    if (m_nextCode >= m_plan.codePool)
        return;
    const QByteArray code = LoadCode(m_nextCode++);
    const std::string text = code.toStdString();
    if (m_list.add({text, "tp" + text, "sl" + text})) {
        problem(QStringLiteral("%1 could not be added").arg(QString::fromLatin1(code)));
        return;
    }
    track(code, m_list.rowAt(m_list.rowCount() - 1).id);
    ++m_counts.added;
}

void RefreshLoad::removeRandomRow()
{
    // Once the codes run out, the list keeps its length.
    if (m_list.rowCount() == 0 || m_nextCode >= m_plan.codePool)
        return;
    const int position = std::uniform_int_distribution<int>(0, m_list.rowCount() - 1)(m_random);
    const QByteArray code = QByteArray::fromStdString(m_list.rowAt(position).entry.code);
    if (m_list.removeAt(position)) {
        problem(QStringLiteral("%1 could not be removed").arg(QString::fromLatin1(code)));
        return;
    }
    Row &row = m_rows[code];
    row.removed = true;
    if (row.waiting)
        ++m_removedWhileWaiting;
    ++m_counts.removed;
}

void RefreshLoad::onAnswered(RowId rowId, bool ok, bool written)
{
    m_pending.push_back({rowId, ok, written});
}

void RefreshLoad::onFetchFinished(const FetchResult &result)
{
    if (m_pending.empty())
        return; // not one of the refresh's tickets
    const Pending answer = m_pending.back();
    m_pending.pop_back();

    const auto codeIt = m_codeOfRow.find(answer.rowId);
    if (codeIt == m_codeOfRow.end()) {
        problem(QStringLiteral("an answer for row %1, which never existed").arg(answer.rowId));
        return;
    }
    const QByteArray code = codeIt->second;
    Row &row = m_rows[code];
    const LoadBehaviour behaviour = BehaviourOfCode(code);
    // The fetcher's own time limit; under a busy machine it may also cut a proper answer.
    const bool timedOut = !answer.ok && result.error.startsWith(QStringLiteral("超时"));

    if (answer.ok != result.ok)
        problem(QStringLiteral("%1: the refresh and its fetcher disagree on success").arg(QString::fromLatin1(code)));
    answer.ok ? ++m_counts.ok : ++m_counts.failed;
    if (timedOut)
        ++m_counts.timedOut;
    if (timedOut && FetchCanSucceed(behaviour))
        ++m_counts.properTimedOut;
    if (!answer.written)
        ++m_counts.dropped;

    if (!row.waiting)
        problem(QStringLiteral("%1: an answer for a row that was not waiting").arg(QString::fromLatin1(code)));
    row.waiting = false;
    ++row.answersSinceTick;
    row.last = {row.last.answers + 1, answer.ok, timedOut};

    const bool live = !row.removed;
    if (answer.written != live) {
        problem(QStringLiteral("%1: answer %2 although the row is %3")
                    .arg(QString::fromLatin1(code),
                         answer.written ? QStringLiteral("written") : QStringLiteral("dropped"),
                         live ? QStringLiteral("in the list") : QStringLiteral("gone")));
    }
    if (answer.ok && !FetchCanSucceed(behaviour)) {
        problem(QStringLiteral("%1 (%2): the fetch succeeded")
                    .arg(QString::fromLatin1(code), QString::fromLatin1(BehaviourName(behaviour))));
    }
    if (!answer.ok && FetchCanSucceed(behaviour) && !timedOut) {
        problem(QStringLiteral("%1 (%2): the fetch failed: %3")
                    .arg(QString::fromLatin1(code), QString::fromLatin1(BehaviourName(behaviour)),
                         result.error));
    }
    if (!answer.written)
        return;

    const auto position = m_list.positionOf(answer.rowId);
    if (!position)
        return; // reported above
    const QStringList shown = figures(*position);
    const QStringList expected = answer.ok ? FiguresAfterSuccess(code) : kEmptyFigures;
    if (shown != expected) {
        problem(QStringLiteral("%1: shows [%2], expected [%3]")
                    .arg(QString::fromLatin1(code), shown.join(QLatin1Char('|')),
                         expected.join(QLatin1Char('|'))));
    }
    const WatchRow &written = m_list.rowAt(*position);
    if (written.colour != (answer.ok ? ColourAfterSuccess(code) : RowColour::Red))
        problem(QStringLiteral("%1: the wrong colour").arg(QString::fromLatin1(code)));
    if (written.entry.takeProfit != "tp" + code.toStdString() ||
        written.entry.stopLoss != "sl" + code.toStdString()) {
        problem(QStringLiteral("%1: take-profit or stop-loss touched").arg(QString::fromLatin1(code)));
    }
}

void RefreshLoad::watch(BrokenServer &server)
{
    m_server = &server;
    connect(&server, &BrokenServer::requestArrived, this, [this](const QByteArray &code) {
        ++m_counts.arrived;
        Row *row = rowOf(code);
        if (!row) {
            problem(QStringLiteral("a request for %1, which no row holds").arg(QString::fromLatin1(code)));
            return;
        }
        const LoadBehaviour behaviour = BehaviourOfCode(code);
        ++row->arrivals;
        ++m_arrivalsOfBehaviour[static_cast<int>(behaviour)];
        if (row->removed &&
            ++row->arrivalsAfterRemoval > ArrivalsAllowedAfterRemoval(behaviour)) {
            problem(QStringLiteral("%1 asked again after its row was removed").arg(QString::fromLatin1(code)));
        }
        if (ServerHoldsOpen(behaviour)) {
            ++row->openAtServer;
            m_mostOpenForOneRow = std::max(m_mostOpenForOneRow, row->openAtServer);
            if (row->openAtServer > 1) {
                problem(QStringLiteral("%1 (%2): %3 requests open at once")
                            .arg(QString::fromLatin1(code),
                                 QString::fromLatin1(BehaviourName(behaviour)))
                            .arg(row->openAtServer));
            }
        } else {
            m_mostOpenForOneRow = std::max(m_mostOpenForOneRow, 1);
        }
    });
    connect(&server, &BrokenServer::clientLeft, this, [this](const QByteArray &code) {
        Row *row = rowOf(code);
        if (row && ServerHoldsOpen(BehaviourOfCode(code)))
            --row->openAtServer;
    });
}

QList<QByteArray> RefreshLoad::liveCodes() const
{
    QList<QByteArray> codes;
    for (int position = 0; position < m_list.rowCount(); ++position)
        codes << QByteArray::fromStdString(m_list.rowAt(position).entry.code);
    return codes;
}

int RefreshLoad::answersSinceTick(const QByteArray &code) const
{
    const Row *row = rowOf(code);
    return row ? row->answersSinceTick : 0;
}

RefreshLoad::LastAnswer RefreshLoad::lastAnswer(const QByteArray &code) const
{
    const Row *row = rowOf(code);
    return row ? row->last : LastAnswer{};
}

int RefreshLoad::arrivals(const QByteArray &code) const
{
    const Row *row = rowOf(code);
    return row ? row->arrivals : 0;
}

int RefreshLoad::arrivalsOf(LoadBehaviour behaviour) const
{
    const auto it = m_arrivalsOfBehaviour.find(static_cast<int>(behaviour));
    return it == m_arrivalsOfBehaviour.end() ? 0 : it->second;
}

QStringList RefreshLoad::figures(int position) const
{
    QStringList out;
    for (int column = WatchList::Name; column <= WatchList::Change; ++column)
        out << m_list.text(position, column);
    return out;
}

void RefreshLoad::problem(const QString &text)
{
    if (m_problems.size() < kMaxProblemLines)
        m_problems << text;
    else if (m_problems.size() == kMaxProblemLines)
        m_problems << QStringLiteral("... and more");
}

RefreshLoad::Row *RefreshLoad::rowOf(const QByteArray &code)
{
    const auto it = m_rows.find(code);
    return it == m_rows.end() ? nullptr : &it.value();
}

const RefreshLoad::Row *RefreshLoad::rowOf(const QByteArray &code) const
{
    const auto it = m_rows.constFind(code);
    return it == m_rows.constEnd() ? nullptr : &it.value();
}

} // namespace velmora::testing
