#include "core/trendseries.h"

#include "core/decimal.h"
#include "core/quote.h"
#include "core/tradingclock.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace velmora {

namespace {

bool usablePrice(double value)
{
    return std::isfinite(value) && value > 0;
}

// The price's distance from the reference in basis points, rounded to the nearest one and
// clamped to what a point can hold.
std::int16_t offsetFrom(double reference, double price)
{
    const double basisPoints = std::round((price / reference - 1) * 10000);
    return static_cast<std::int16_t>(
        std::clamp(basisPoints, double(std::numeric_limits<std::int16_t>::min()),
                   double(std::numeric_limits<std::int16_t>::max())));
}

} // namespace

bool TrendSeries::add(Market market, std::string_view date, int sessionSecond, double price,
                      std::optional<double> previousClose)
{
    if (!usablePrice(price) || sessionSecond < 0 || sessionSecond > SessionLength(market))
        return false;
    // Dates are "yyyy-MM-dd", which sort as text.
    if (market == m_market && date < m_date)
        return false;
    if (market != m_market || date != m_date || m_points.empty()) {
        startDay(market, date,
                 previousClose && usablePrice(*previousClose) ? *previousClose : price);
    } else if (sessionSecond <= m_points.back().second) {
        return false;
    }
    if (m_points.size() == m_points.capacity())
        m_points.reserve(m_points.capacity() + kGrowthPoints);
    const std::int16_t offset = offsetFrom(m_reference, price);
    m_points.push_back({static_cast<std::uint16_t>(sessionSecond), offset});
    m_largestOffset = std::max(m_largestOffset, std::abs(int(offset)));
    return true;
}

double TrendSeries::price(int index) const
{
    return m_reference * (1 + point(index).offset / 10000.0);
}

int TrendSeries::sessionLength() const
{
    return SessionLength(m_market);
}

std::size_t TrendSeries::memoryBytes() const
{
    // A "yyyy-MM-dd" date fits in the string itself.
    return sizeof(*this) + m_points.capacity() * sizeof(TrendPoint);
}

void TrendSeries::startDay(Market market, std::string_view date, double reference)
{
    // The day before's points go, and so does their capacity: a day that starts late keeps
    // only what it needs.
    std::vector<TrendPoint>().swap(m_points);
    m_market = market;
    m_date = date;
    m_reference = reference;
    m_largestOffset = 0;
}

bool AddQuoteToTrend(TrendSeries &series, const Quote &quote, std::int64_t receivedAtUnixSeconds)
{
    const std::optional<double> price = ParseDecimal(quote.price);
    if (!price || !Traded(quote))
        return false;
    const std::optional<std::int64_t> quoted = MarketUnixSeconds(quote.market, quote.date, quote.time);
    const MarketTime time = MarketClock(quote.market, quoted.value_or(receivedAtUnixSeconds));
    const std::optional<int> second = SessionSecond(quote.market, time);
    if (!second)
        return false;
    return series.add(quote.market, MarketDate(time), *second, *price, ParseDecimal(quote.previousClose));
}

} // namespace velmora
