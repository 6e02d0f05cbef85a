// The trend column over a long list, each row with a full A-share day of refreshes every 3 s
// (4,800 points):
//  - painting: R rows drawn one below the other into an image at the size of a list cell, P
//    times; the median time of a paint, per row (goal 2 ms);
//  - memory: the resident memory S series add when filled tick by tick, as the refreshes fill
//    them (goal 20 MiB for 1,000), next to what the series say they hold;
//  - a tick: one point added to each of the S series, the median over the day.
//
//   bench_trend [--rows R] [--paints P] [--series S] [--width W] [--height H]
//
// Figures are printed, never checked.

#include "benchsupport.h"
#include "core/trendseries.h"
#include "ui/trendpaint.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace velmora;
using namespace velmora::bench;

namespace {

constexpr int kInterval = 3;
constexpr int kDayPoints = 14400 / kInterval; // 4,800

// A wandering price around 10.00, its own for each row: it crosses the previous close often
// enough that both colours are drawn.
class Wander
{
public:
    explicit Wander(unsigned seed) : m_state(seed * 2654435761u + 1) {}
    double next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        m_price += (double(m_state >> 8) / double(1u << 24) - 0.5) * 0.02;
        m_price += (10.0 - m_price) * 0.002;
        return m_price;
    }

private:
    unsigned m_state;
    double m_price = 10.0;
};

// The first session second of each tick of the day; the 4,800th falls on the close.
int secondOfTick(int tick)
{
    return (tick + 1) * kInterval;
}

// VmRSS of this process in KiB, 0 when it cannot be read.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

double paintMsPerRow(const std::vector<TrendSeries> &rows, int paints, int width, int height)
{
    QImage image(width, height * int(rows.size()), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    for (int paint = 0; paint < paints; ++paint) {
        image.fill(Qt::white);
        QPainter painter(&image);
        QElapsedTimer clock;
        clock.start();
        for (int row = 0; row < int(rows.size()); ++row)
            PaintTrend(painter, QRect(0, row * height, width, height), rows[std::size_t(row)]);
        times.push_back(double(clock.nsecsElapsed()) / 1e6 / double(rows.size()));
    }
    return Median(times);
}

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QGuiApplication app(argc, argv);
    const int rows = std::max(1, IntArgument(argc, argv, "--rows", 60));
    const int paints = IntArgument(argc, argv, "--paints", 200);
    const int seriesCount = std::max(rows, IntArgument(argc, argv, "--series", 1000));
    const int width = IntArgument(argc, argv, "--width", 100);
    const int height = IntArgument(argc, argv, "--height", 18);

    // Memory first, before the painting has grown the heap.
    const long before = residentKiB();
    std::vector<TrendSeries> series(static_cast<std::size_t>(seriesCount));
    std::vector<Wander> prices;
    for (int i = 0; i < seriesCount; ++i)
        prices.emplace_back(unsigned(i));
    std::vector<double> tickTimes;
    for (int tick = 0; tick < kDayPoints; ++tick) {
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < seriesCount; ++i)
            series[std::size_t(i)].add(Market::AShare, "2024-06-03", secondOfTick(tick),
                                       prices[std::size_t(i)].next(), 10.0);
        tickTimes.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    const long after = residentKiB();
    std::size_t held = 0;
    for (const TrendSeries &one : series)
        held += one.memoryBytes();
    std::printf("memory of %d series with %d points each (a day every %d s):\n", seriesCount,
                series.front().size(), kInterval);
    std::printf("  resident memory added %.1f MiB (goal 20 MiB); the series hold %.1f MiB, %.2f bytes a point\n",
                double(after - before) / 1024, double(held) / 1048576,
                double(held) / (double(seriesCount) * kDayPoints));
    std::printf("a tick adding one point to each of %d series (median of %d): %.3f ms\n", seriesCount,
                kDayPoints, Median(tickTimes));

    series.resize(static_cast<std::size_t>(rows));
    std::printf("paint of %d rows of %d points at %dx%d (median of %d): %.3f ms a row (goal 2 ms)\n",
                rows, series.front().size(), width, height, paints,
                paintMsPerRow(series, paints, width, height));
    return 0;
}
