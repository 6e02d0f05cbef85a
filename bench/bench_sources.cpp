// The public batch page against the per-row custom service, over N rows, both served by the
// built-in demo service on a thread of its own with L ms added latency per request:
//  - the batch page ("tencent" shape, or "sina" with --shape sina) during trading hours: the
//    wall time of one tick until every row is answered, the requests it took (median of a few
//    ticks), and the longest stall of the user-interface thread while a tree view shows the list;
//  - the same page outside trading hours: an hour of 8-second ticks on a Saturday, counted;
//  - the per-row service ("/msq"): one tick's wall time and requests, and its requests per hour;
//  - a list of N rows mixed across the three markets (a third each of A-shares, Hong Kong and US
//    codes) at 10:00 on a Monday in New York, when only the US trades: one tick's requests and
//    wall time, and an hour of ticks, with the closed markets' requests counted apart.
//
//   bench_sources [--rows N] [--latency L] [--ticks T] [--shape tencent|sina] [--plain-view]
//                 [--no-trend] [--full-trend]
//
// The list is shown by the program's own main window (its tree view over the view's order,
// uniform row heights), or with --plain-view by a bare QTreeView on the list. The window shows
// its 走势 column unless --no-trend; --full-trend first gives every row today's whole day of
// prices at 3 s (the ticks' own quotes add at most a point each), so the ticks repaint full
// trend lines.
//
// The clock the refresh goes by is a fixed one (Monday 2026-12-07 10:00 in Shanghai, or the
// Saturday after), moved on by hand. Figures are printed, never checked.

#include "benchsupport.h"
#include "core/tradingclock.h"
#include "demo/demoservice.h"
#include "watchlist/watchlist.h"
#include "services/quoterefresh.h"
#include "services/sourcepolicy.h"
#include "platform/fonts.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::bench;

namespace {

// Monday 2026-12-07 10:00 in Shanghai (UTC+8): the market trades. Five days on: a Saturday.
constexpr std::int64_t kMonday10 = 1796608800;
constexpr std::int64_t kSaturday10 = kMonday10 + 5 * 86400;
constexpr int kTickSeconds = 8;
constexpr int kTicksPerHour = 3600 / kTickSeconds;

struct TickFigures
{
    double wallSeconds = 0;
    double stallMs = 0;
    int answered = 0;
    int requests = 0;
};

// One tick, until every row it asked for is answered (or the limit passes): its wall time, the
// longest stall meanwhile and the requests the service saw.
TickFigures runTick(QuoteRefresh &refresh, ServiceThread &server, Heartbeat &heartbeat,
                    int limitMs = 120000)
{
    QEventLoop loop;
    int answered = 0;
    const auto connection = QObject::connect(&refresh, &QuoteRefresh::answered, &loop, [&] {
        ++answered;
        if (refresh.waitingRows() == 0)
            loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    const int before = server.requests();
    heartbeat.reset();
    QElapsedTimer wall;
    wall.start();
    refresh.refreshAll();
    if (refresh.waitingRows() > 0)
        loop.exec();
    TickFigures figures{wall.nsecsElapsed() / 1e9, heartbeat.longestMs(), answered, 0};
    figures.requests = server.requests() - before;
    QObject::disconnect(connection);
    return figures;
}

// Every source at base, the chosen one asked as the program asks it, on the clock given.
std::unique_ptr<SourcePolicy> makeSources(const QUrl &base, QuoteSourceKind kind,
                                          std::function<std::int64_t()> clock)
{
    UserSettings settings;
    settings.source = kind;
    settings.customBase = base;
    settings.intervalSeconds = kTickSeconds;
    settings.slowDownOutsideHours = true;
    auto sources = std::make_unique<SourcePolicy>(SourcePolicy::Bases{base, base, base, base}, settings);
    sources->setClock(std::move(clock));
    return sources;
}

void printRow(const char *what, const std::string &figure, const char *target)
{
    std::printf("  %-58s %14s   %s\n", what, figure.c_str(), target);
}

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication app(argc, argv);
    QApplication::setFont(SongTiFont(kDefaultPointSize)); // as the program starts
    const int rows = std::max(1, IntArgument(argc, argv, "--rows", 1000));
    const int latency = std::max(0, IntArgument(argc, argv, "--latency", 50));
    const int tickCount = std::max(1, IntArgument(argc, argv, "--ticks", 5));
    const bool sina = std::strcmp(TextArgument(argc, argv, "--shape", "tencent"), "sina") == 0;
    const QuoteSourceKind page = sina ? QuoteSourceKind::Sina : QuoteSourceKind::Tencent;
    const char *pageName = sina ? "sina" : "tencent";
    const bool plainView = FlagArgument(argc, argv, "--plain-view");
    const bool noTrend = FlagArgument(argc, argv, "--no-trend");
    const bool fullTrend = FlagArgument(argc, argv, "--full-trend");

    ServiceThread server(latency);
    if (!server.ok()) {
        std::fprintf(stderr, "bench_sources: the demo service could not listen on 127.0.0.1\n");
        return 1;
    }
    Heartbeat heartbeat;

    QTemporaryDir dir;
    WatchList model(dir.path().toStdString());
    if (!FillList(dir, model, rows)) {
        std::fprintf(stderr, "bench_sources: could not write the list into %s\n", qPrintable(dir.path()));
        return 1;
    }
    if (fullTrend) {
        // 09:30-11:30 and 13:00-15:00 in Shanghai today, a point every 3 s, a price wandering
        // around its previous close.
        const std::int64_t today = QDateTime::currentSecsSinceEpoch();
        const std::string date = MarketDate(ShanghaiTime(today));
        for (int row = 0; row < rows; ++row) {
            Quote quote;
            quote.name = "示例";
            quote.previousClose = "10.00";
            quote.change = "0.00%";
            quote.date = date;
            for (int second = 0; second <= 14400; second += 3) {
                const int wall = 9 * 3600 + 1800 + second + (second > 7200 ? 5400 : 0);
                char time[16];
                std::snprintf(time, sizeof time, "%02d:%02d:%02d", wall / 3600, wall / 60 % 60, wall % 60);
                quote.time = time;
                quote.price = std::to_string(10 + ((second / 3 + row) % 41 - 20) / 100.0);
                model.applyQuote(model.rowAt(row).id, quote, today);
            }
        }
    }
    // The list is painted as the rows change, as in the program.
    std::unique_ptr<QWidget> view;
    if (plainView) {
        auto *tree = new QTreeView;
        tree->setModel(&model);
        tree->resize(460, 250);
        view.reset(tree);
    } else {
        auto window = std::make_unique<MainWindow>(model, QStringLiteral("127.0.0.1"), false);
        window->setTrendShown(!noTrend);
        view = std::move(window);
    }
    view->show();

    std::printf("bench_sources: %d rows, %d ms added latency per request, demo service on its own "
                "thread, a tick every %d s, the list shown by %s\n\n",
                rows, latency, kTickSeconds, plainView ? "a bare tree view" : "the main window");

    // The batch page while the market trades. The demo dates its quotes with today's date, which
    // is not the fixed clock's; the refresh then takes the day for a holiday and asks at most
    // once every 300 s. So the ticks measured here are 300 s apart on the fixed clock (all within
    // trading hours): each asks every row, exactly as a tick of a trading day does.
    std::int64_t now = kMonday10;
    TickFigures first;
    std::vector<TickFigures> ticks;
    {
        const auto sources = makeSources(server.base(), page, [&now] { return now; });
        QuoteRefresh refresh(model, *sources);
        first = runTick(refresh, server, heartbeat); // opens the connections
        for (int i = 0; i < tickCount; ++i) {
            now += 300;
            ticks.push_back(runTick(refresh, server, heartbeat));
        }
    }
    std::vector<TickFigures> byWall = ticks;
    std::sort(byWall.begin(), byWall.end(),
              [](const auto &a, const auto &b) { return a.wallSeconds < b.wallSeconds; });
    std::vector<int> requestCounts;
    double worstStall = 0;
    int fewestAnswered = rows;
    for (const auto &t : ticks) {
        requestCounts.push_back(t.requests);
        worstStall = std::max(worstStall, t.stallMs);
        fewestAnswered = std::min(fewestAnswered, t.answered);
    }
    std::sort(requestCounts.begin(), requestCounts.end());
    const TickFigures &median = byWall[byWall.size() / 2];

    // The batch page outside trading hours: an hour of ticks on a Saturday, answered at once.
    server.setLatency(0);
    int closedRequests = 0;
    int askingTicks = 0;
    double closedHourWall = 0;
    {
        now = kSaturday10;
        const auto sources = makeSources(server.base(), page, [&now] { return now; });
        QuoteRefresh refresh(model, *sources);
        QElapsedTimer wall;
        wall.start();
        for (int tick = 0; tick < kTicksPerHour; ++tick) {
            const TickFigures t = runTick(refresh, server, heartbeat, 30000);
            closedRequests += t.requests;
            askingTicks += t.requests > 0 ? 1 : 0;
            now += kTickSeconds;
        }
        closedHourWall = wall.nsecsElapsed() / 1e9;
    }
    server.setLatency(latency);

    // The per-row custom service: one request per row at every tick, whatever the hour.
    TickFigures perRow;
    {
        now = kMonday10;
        const auto sources = makeSources(server.base(), QuoteSourceKind::Custom, [&now] { return now; });
        QuoteRefresh refresh(model, *sources);
        perRow = runTick(refresh, server, heartbeat);
    }

    // Mixed markets at 10:00 on a Monday in New York (23:00 in Shanghai and Hong Kong): the demo
    // dates its quotes on the same fixed clock, so each market's day is today.
    QTemporaryDir mixedDir;
    WatchList mixed(mixedDir.path().toStdString());
    {
        std::string codes;
        for (int i = 0; i < rows; ++i) {
            std::string ticker;
            for (int n = i / 3; ticker.size() < 4; n /= 26)
                ticker += static_cast<char>('A' + n % 26);
            codes += (i % 3 == 0 ? std::to_string(600000 + i)
                      : i % 3 == 1 ? "hk" + std::to_string(10000 + i).substr(0, 5)
                                   : "us" + ticker) + "\r\n";
        }
        QFile file(mixedDir.filePath(QStringLiteral("Setting.ini")));
        if (!file.open(QIODevice::WriteOnly) || file.write(codes.data(), qint64(codes.size())) != qint64(codes.size()) ||
            (file.close(), mixed.load())) {
            std::fprintf(stderr, "bench_sources: could not write the mixed list\n");
            return 1;
        }
    }
    const std::int64_t newYork10 = kMonday10 + 13 * 3600;
    TickFigures mixedTick;
    int mixedFirstRequests = 0, usHourRequests = 0, closedHourRequests = 0, usTicks = 0;
    {
        now = newYork10;
        server.run([&] { server.service()->setClock(now); });
        const auto sources = makeSources(server.base(), page, [&now] { return now; });
        QuoteRefresh refresh(mixed, *sources);
        mixedFirstRequests = runTick(refresh, server, heartbeat).requests; // every market, forced
        const int usRows = rows / 3;
        const int usRequests = (usRows + 59) / 60;
        for (int tick = 0; tick < kTicksPerHour; ++tick) {
            now += kTickSeconds;
            server.run([&] { server.service()->setClock(now); });
            const TickFigures t = runTick(refresh, server, heartbeat, 30000);
            if (tick == 0)
                mixedTick = t;
            // Requests beyond the US codes' own batches belong to the closed markets.
            const int us = std::min(t.requests, usRequests);
            usHourRequests += us;
            usTicks += us > 0 ? 1 : 0;
            closedHourRequests += t.requests - us;
        }
        server.run([&] { server.service()->setClock(0); });
    }

    std::printf("  %-58s %14s   %s\n", "what", "figure", "target");
    std::printf("batch page (%s shape), trading hours; median of %d ticks after a first one:\n",
                pageName, tickCount);
    printRow("one tick, wall time until every row is answered", Format("%.3f s", median.wallSeconds),
             "<= 0.5 s");
    printRow("requests per tick", std::to_string(requestCounts[requestCounts.size() / 2]),
             "<= 50 (60 codes a request)");
    printRow("longest UI stall during the ticks (worst tick)", Format("%.1f ms", worstStall), "<= 16 ms");
    printRow("rows answered per tick (fewest)", std::to_string(fewestAnswered), "");
    printRow("first tick (connections opened): wall time", Format("%.3f s", first.wallSeconds), "");
    printRow("first tick: requests, longest UI stall",
             std::to_string(first.requests) + ", " + Format("%.1f ms", first.stallMs), "");
    std::printf("batch page (%s shape), Saturday: %d ticks of %d s on the fixed clock, no latency:\n",
                pageName, kTicksPerHour, kTickSeconds);
    printRow("requests per hour outside trading hours", std::to_string(closedRequests), "");
    printRow("ticks that asked", std::to_string(askingTicks) + " of " + std::to_string(kTicksPerHour), "");
    printRow("(wall time of the simulated hour)", Format("%.2f s", closedHourWall), "");
    std::printf("per-row service (/msq), one tick:\n");
    printRow("one tick, wall time until every row is answered", Format("%.3f s", perRow.wallSeconds), "");
    printRow("requests per tick", std::to_string(perRow.requests), "");
    printRow("longest UI stall during the tick", Format("%.1f ms", perRow.stallMs), "<= 16 ms");
    printRow("requests per hour (asked at every tick: one tick x 450)",
             std::to_string(static_cast<long long>(perRow.requests) * kTicksPerHour), "");
    std::printf("mixed markets (%s shape), %d rows, a third each, Monday 10:00 in New York:\n", pageName, rows);
    printRow("first tick (after start: every market), requests", std::to_string(mixedFirstRequests), "");
    printRow("one tick while only the US trades: requests", std::to_string(mixedTick.requests),
             "the US batches only");
    printRow("one tick while only the US trades: wall time", Format("%.3f s", mixedTick.wallSeconds), "");
    printRow("US requests per hour (ticks that asked)",
             std::to_string(usHourRequests) + " (" + std::to_string(usTicks) + " ticks)", "");
    printRow("closed markets' requests per hour", std::to_string(closedHourRequests),
             "<= 12 x their batches");
    if (perRow.wallSeconds > kTickSeconds)
        std::printf("  (one tick of the per-row service takes longer than the %d s interval; rows "
                    "still waiting are skipped at the next tick)\n",
                    kTickSeconds);
    return 0;
}
