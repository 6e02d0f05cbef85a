#pragma once

#include "core/market.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct Quote;

// One point of a day's trend: where on the trading day it lies (a SessionSecond) and how far
// the price stood from the day's reference, in hundredths of a percent. Four bytes, so that a
// long list can keep whole days of refreshes.
struct TrendPoint
{
    std::uint16_t second = 0;
    std::int16_t offset = 0; // basis points, clamped to -32768..32767 (-100 % .. +327.67 %)
};

// A row's prices over its market's day, as the refreshes brought them: at most one point per
// session second, in order, kept in memory only. The day's reference is the previous close, or
// the first price when the quotes carry none; it is set by the day's first point and kept all
// day, so that the offsets stored stay valid.
class TrendSeries
{
public:
    // Adds the price at a session second of the market's day (date "yyyy-MM-dd" on its clock).
    // A later date, or another market, starts the series over first. Nothing is added (false)
    // for a price not above zero, a second outside the day, a second at or before the last
    // point's, or a date before the series' own (a late reply of the day before).
    bool add(Market market, std::string_view date, int sessionSecond, double price,
             std::optional<double> previousClose);

    bool empty() const { return m_points.empty(); }
    int size() const { return static_cast<int>(m_points.size()); }
    TrendPoint point(int index) const { return m_points[static_cast<std::size_t>(index)]; }
    // The price a point stands for: within half a basis point of the reference of the price
    // added, unless it was clamped.
    double price(int index) const;
    // The largest |offset| of the day, which the drawing scales to.
    int largestOffset() const { return m_largestOffset; }

    Market market() const { return m_market; }
    const std::string &date() const { return m_date; } // empty before the first point
    double reference() const { return m_reference; }   // 0 before the first point
    int sessionLength() const;

    // What the series holds on the heap and in itself, its spare capacity included.
    std::size_t memoryBytes() const;

private:
    void startDay(Market market, std::string_view date, double reference);

    // Grown a fixed number of points at a time rather than doubled, so that a full day wastes
    // at most one step of spare capacity (1 KiB) instead of up to half of it.
    static constexpr std::size_t kGrowthPoints = 256;

    std::vector<TrendPoint> m_points;
    std::string m_date;
    double m_reference = 0;
    Market m_market = Market::AShare;
    int m_largestOffset = 0;
};

// Adds a quote's price to its row's series, at the quote's own date and time on its market's
// clock when it carries both, else at the moment it was received. A quote without a trade (see
// Traded) adds nothing, nor does one outside the trend's sessions. The previous close, when the
// quote gives one above zero, is the reference of a new day.
bool AddQuoteToTrend(TrendSeries &series, const Quote &quote, std::int64_t receivedAtUnixSeconds);

} // namespace velmora
