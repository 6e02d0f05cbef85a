// One tick of the quote refresh over N rows against the built-in demo service with L ms added
// latency: the wall time with our fetcher and with one request at a time, their ratio, and the
// longest stall of the user-interface thread (the largest gap of a 1 ms heartbeat timer); then
// the same stall while one row hangs and while the whole service hangs.
//
//   bench_refresh [--rows N] [--latency L] [--hang-seconds S]
//
// The demo service runs on a thread of its own, so the stall measured is the client's alone.
// Figures are printed, never checked.

#include "demo/demoservice.h"
#include "core/watchliststore.h"
#include "watchlist/watchlist.h"
#include "services/quoterefresh.h"
#include "services/quotesources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace velmora;

namespace {

// The largest gap between two beats of a 1 ms timer on this thread.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_longest = 0;
    }
    double longestMs() const
    {
        return std::max(m_longest, m_clock.nsecsElapsed() - m_last) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The demo service on a thread of its own; every call is carried out there.
class ServiceThread
{
public:
    explicit ServiceThread(int latencyMs)
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
        run([this, latencyMs] {
            m_service = new DemoQuoteService({20240603, latencyMs, 4000});
            m_ok = m_service->start();
            m_base = m_service->baseUrl();
        });
    }
    ~ServiceThread()
    {
        run([this] { delete m_service; });
        m_thread.quit();
        m_thread.wait();
    }
    bool ok() const { return m_ok; }
    QUrl base() const { return m_base; }
    void run(const std::function<void()> &work)
    {
        QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
    }
    DemoQuoteService *service() const { return m_service; }
    int requests()
    {
        int count = 0;
        run([this, &count] { count = m_service->quoteRequests(); });
        return count;
    }

private:
    QThread m_thread;
    QObject m_context;
    DemoQuoteService *m_service = nullptr;
    bool m_ok = false;
    QUrl m_base;
};

struct TickFigures
{
    double wallSeconds = 0;
    double stallMs = 0;
    int answered = 0;
};

// One tick, until `expected` answers have come back (or the limit passes).
TickFigures runTick(QuoteRefresh &refresh, Heartbeat &heartbeat, int expected, int limitMs = 120000)
{
    QEventLoop loop;
    int answered = 0;
    const auto connection = QObject::connect(&refresh, &QuoteRefresh::answered, &loop, [&] {
        if (++answered >= expected)
            loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    heartbeat.reset();
    QElapsedTimer wall;
    wall.start();
    refresh.refreshAll();
    if (answered < expected)
        loop.exec();
    TickFigures figures{wall.nsecsElapsed() / 1e9, heartbeat.longestMs(), answered};
    QObject::disconnect(connection);
    return figures;
}

// Lets the event loop run for a while (refresh ticks keep coming meanwhile).
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int intArgument(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::atoi(argv[i + 1]);
    }
    return fallback;
}

// The described service at base, as the refresh asks it.
std::unique_ptr<QuoteSources> MakeBenchSources(const QUrl &base)
{
    UserSettings settings;
    settings.source = QuoteSourceKind::Custom;
    settings.customBase = base;
    return std::make_unique<QuoteSources>(QuoteSources::Bases{base, base, base, base}, settings);
}

// A list of rows codes on disk, loaded as the program loads it.
bool fillList(const QTemporaryDir &dir, WatchList &list, int rows)
{
    std::string codes, takeProfit, stopLoss;
    for (int i = 0; i < rows; ++i) {
        codes += std::to_string(600000 + i) + "\r\n";
        takeProfit += "99\r\n";
        stopLoss += "1\r\n";
    }
    const std::pair<const char *, const std::string *> files[] = {
        {kCodeFileName, &codes}, {kTakeProfitFileName, &takeProfit}, {kStopLossFileName, &stopLoss}};
    for (const auto &[name, bytes] : files) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes->data(), static_cast<qint64>(bytes->size())) != static_cast<qint64>(bytes->size()))
            return false;
    }
    return !list.load() && list.rowCount() == rows;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rows = intArgument(argc, argv, "--rows", 200);
    const int latency = intArgument(argc, argv, "--latency", 50);
    const int hangSeconds = intArgument(argc, argv, "--hang-seconds", 3);

    ServiceThread server(latency);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_refresh: the demo service could not listen on 127.0.0.1\n");
        return 1;
    }
    Heartbeat heartbeat;

    QTemporaryDir dir;
    WatchList model(dir.path().toStdString());
    if (!fillList(dir, model, rows)) {
        std::fprintf(stderr, "bench_refresh: could not write the list into %s\n", qPrintable(dir.path()));
        return 1;
    }
    QTreeView view; // the list is painted as the rows change, as in the program
    view.setModel(&model);
    view.resize(460, 250);
    view.show();

    std::printf("bench_refresh: %d rows, %d ms added latency per request, demo service on its "
                "own thread\n\n",
                rows, latency);
    std::printf("%-44s %14s %18s\n", "mode", "tick wall time", "longest UI stall");

    // Our fetcher: a first tick opens the connections and creates the series, then three more.
    TickFigures ours;
    {
        const auto sources = MakeBenchSources(server.base());
        QuoteRefresh refresh(model, *sources);
        runTick(refresh, heartbeat, rows);
        std::vector<TickFigures> ticks;
        for (int i = 0; i < 3; ++i)
            ticks.push_back(runTick(refresh, heartbeat, rows));
        std::sort(ticks.begin(), ticks.end(),
                  [](const auto &a, const auto &b) { return a.wallSeconds < b.wallSeconds; });
        ours = ticks[1];
        double worstStall = 0;
        for (const auto &t : ticks)
            worstStall = std::max(worstStall, t.stallMs);
        std::printf("%-44s %12.2f s %15.1f ms\n", "our fetcher (6 in flight), median of 3", ours.wallSeconds,
                    worstStall);
        ours.stallMs = worstStall;
    }

    TickFigures serial;
    {
        const auto sources = MakeBenchSources(server.base());
        QuoteRefresh refresh(model, *sources);
        refresh.fetcher()->setMaxInFlight(1);
        serial = runTick(refresh, heartbeat, rows);
        std::printf("%-44s %12.2f s %15.1f ms\n", "one request at a time", serial.wallSeconds,
                    serial.stallMs);
    }
    std::printf("%-44s %13.1fx\n", "ratio (one at a time / ours)",
                serial.wallSeconds / ours.wallSeconds);

    {
        // One row's server hangs: the other rows' tick, with that row's request still out.
        const QByteArray hanging = QByteArray::number(600000 + rows / 2);
        server.run([&] { server.service()->setFault(hanging, DemoFault::Hang); });
        const auto sources = MakeBenchSources(server.base());
        QuoteRefresh refresh(model, *sources);
        const TickFigures t = runTick(refresh, heartbeat, rows - 1);
        std::printf("%-44s %12.2f s %15.1f ms\n", "one row hangs: the other rows", t.wallSeconds,
                    t.stallMs);
        const TickFigures again = runTick(refresh, heartbeat, rows - 1);
        std::printf("%-44s %12.2f s %15.1f ms   (%d rows still waiting)\n",
                    "one row hangs: next tick", again.wallSeconds, again.stallMs,
                    refresh.waitingRows());
        server.run([&] { server.service()->setFault(hanging, DemoFault::None); });
    }

    {
        // The whole service hangs: the refresh ticks every second; nothing may stall meanwhile.
        server.run([&] { server.service()->setFaultForEveryCode(DemoFault::Hang); });
        const int before = server.requests();
        const auto sources = MakeBenchSources(server.base());
        QuoteRefresh refresh(model, *sources);
        refresh.timer()->setInterval(1000);
        heartbeat.reset();
        refresh.refreshAll();
        refresh.start();
        runFor(hangSeconds * 1000);
        const double stall = heartbeat.longestMs();
        const int sent = server.requests() - before;
        std::printf("%-44s %14s %15.1f ms   (%d s, %d requests out, %d rows waiting)\n",
                    "whole service hangs, a refresh every 1 s", "-", stall, hangSeconds, sent,
                    refresh.waitingRows());
        refresh.fetcher()->abortAll();
        server.run([&] { server.service()->setFaultForEveryCode(DemoFault::None); });
    }
    return 0;
}
