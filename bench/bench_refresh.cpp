// One tick of the quote refresh over N rows against the built-in demo service with L ms added
// latency: the wall time with our fetcher and with one request at a time, their ratio, and the
// longest stall of the user-interface thread (the largest gap of a 1 ms heartbeat timer); then
// the same stall while one row hangs and while the whole service hangs.
//
//   bench_refresh [--rows N] [--latency L] [--hang-seconds S]
//
// The demo service runs on a thread of its own, so the stall measured is the client's alone.
// Figures are printed, never checked.

#include "benchsupport.h"
#include "demo/demoservice.h"
#include "platform/httpqueue.h"
#include "watchlist/watchlist.h"
#include "services/quoterefresh.h"
#include "services/sourcepolicy.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace velmora;
using namespace velmora::bench;

namespace {

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

// The custom service at base, as the refresh asks it.
std::unique_ptr<SourcePolicy> MakeBenchSources(const QUrl &base)
{
    UserSettings settings;
    settings.source = QuoteSourceKind::Custom;
    settings.customBase = base;
    return std::make_unique<SourcePolicy>(SourcePolicy::Bases{base, base, base, base}, settings);
}

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    const int rows = IntArgument(argc, argv, "--rows", 200);
    const int latency = IntArgument(argc, argv, "--latency", 50);
    const int hangSeconds = IntArgument(argc, argv, "--hang-seconds", 3);

    ServiceThread server(latency);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_refresh: the demo service could not listen on 127.0.0.1\n");
        return 1;
    }
    Heartbeat heartbeat;

    QTemporaryDir dir;
    WatchList model(dir.path().toStdString());
    if (!FillList(dir, model, rows)) {
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
        refresh.queue()->setMaxInFlight(1);
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
        RunFor(hangSeconds * 1000);
        const double stall = heartbeat.longestMs();
        const int sent = server.requests() - before;
        std::printf("%-44s %14s %15.1f ms   (%d s, %d requests out, %d rows waiting)\n",
                    "whole service hangs, a refresh every 1 s", "-", stall, hangSeconds, sent,
                    refresh.waitingRows());
        refresh.queue()->abortAll();
        server.run([&] { server.service()->setFaultForEveryCode(DemoFault::None); });
    }
    return 0;
}
