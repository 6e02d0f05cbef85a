// The holdings' figures over a long list: N rows with L lots each.
//  - a tick: every row takes a new quote, and with it its lots' figures are worked out anew
//    (market value, day and holding profit, average cost), then the totals per currency: the
//    median time of the whole tick, and of the figures alone (the same tick on a list without
//    lots, subtracted);
//  - an import of I lots (a lots table of that many lines, codes already on the list) into the
//    list as one change: parsing, checking every line, writing Holdings.csv all or nothing and
//    the copy taken before it; the median of a few imports.
//
//   bench_holdings [--rows N] [--lots L] [--ticks T] [--import I] [--imports K]
//
// Figures are printed, never checked.

#include "benchsupport.h"
#include "core/holdings.h"
#include "services/listactions.h"
#include "watchlist/watchlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::bench;

namespace {

constexpr std::int64_t kMonday10 = 1796608800; // 2026-12-07 10:00 in Shanghai

bool writeBytes(const QString &path, const std::string &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

// Lots lots of each row's code, bought on days before the tick's.
std::string lotsTable(int rows, int lotsPerRow)
{
    Lots lots;
    for (int i = 0; i < rows * lotsPerRow; ++i) {
        const int row = i % rows;
        lots.push_back({std::to_string(600000 + row), "2026-11-" + std::to_string(10 + i % 18),
                        100 + i % 900, std::to_string(5 + i % 40) + "." + std::to_string(1000 + i % 9000)});
    }
    return HoldingsCsv(lots);
}

// The milliseconds of one tick of new quotes over every row, the totals included.
double tickMs(WatchList &list, int tick)
{
    QElapsedTimer clock;
    clock.start();
    for (int row = 0; row < list.rowCount(); ++row) {
        Quote quote;
        quote.name = "示例";
        quote.price = std::to_string(10 + (row + tick) % 30) + "." + std::to_string(10 + tick % 90);
        quote.previousClose = std::to_string(10 + row % 30) + ".50";
        quote.change = "0.50%";
        list.applyQuote(list.rowAt(row).id, quote, kMonday10 + tick * 8);
    }
    const TotalsByCurrency totals = list.holdingTotals();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (totals.empty() && list.hasHoldings())
        std::printf("no totals?\n");
    return ms;
}

double medianTickMs(WatchList &list, int ticks)
{
    std::vector<double> times;
    for (int tick = 0; tick < ticks; ++tick)
        times.push_back(tickMs(list, tick));
    return Median(times);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = IntArgument(argc, argv, "--rows", 1000);
    const int lotsPerRow = IntArgument(argc, argv, "--lots", 3);
    const int ticks = IntArgument(argc, argv, "--ticks", 30);
    const int importLots = IntArgument(argc, argv, "--import", 10000);
    const int imports = IntArgument(argc, argv, "--imports", 5);

    QTemporaryDir plainDir, lotsDir;
    WatchList plain(plainDir.path().toStdString());
    if (!FillList(plainDir, plain, rows))
        return 1;
    if (!writeBytes(lotsDir.filePath(QStringLiteral("Holdings.csv")), lotsTable(rows, lotsPerRow)))
        return 1;
    WatchList withLots(lotsDir.path().toStdString());
    if (!FillList(lotsDir, withLots, rows) || int(withLots.lots().size()) != rows * lotsPerRow)
        return 1;

    const double plainMs = medianTickMs(plain, ticks);
    const double lotsMs = medianTickMs(withLots, ticks);
    std::printf("tick over %d rows with %d lots each (median of %d):\n", rows, lotsPerRow, ticks);
    std::printf("  whole tick %.3f ms, without lots %.3f ms: the figures take %.3f ms (goal 5 ms)\n",
                lotsMs, plainMs, lotsMs - plainMs);

    const std::string table = lotsTable(rows, 0) + [&] {
        std::string lines;
        for (int i = 0; i < importLots; ++i)
            lines += std::to_string(600000 + i % rows) + ",2026-11-02," + std::to_string(1 + i % 5000) +
                     ",12.3456\r\n";
        return lines;
    }();
    std::vector<double> importTimes;
    for (int round = 0; round < imports; ++round) {
        QTemporaryDir dir;
        WatchList list(dir.path().toStdString());
        if (!FillList(dir, list, rows))
            return 1;
        const QString path = dir.filePath(QStringLiteral("lots.csv"));
        if (!writeBytes(path, table))
            return 1;
        QElapsedTimer clock;
        clock.start();
        const ActionResult result = ListActions(list).importHoldings(path);
        importTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!result.ok || int(list.lots().size()) != importLots) {
            std::printf("import failed: %s\n", qPrintable(result.message));
            return 1;
        }
    }
    std::printf("import of %d lots into %d rows (median of %d): %.1f ms (goal 500 ms)\n", importLots,
                rows, imports, Median(importTimes));
    return 0;
}
