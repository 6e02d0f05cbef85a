#include "core/changesteps.h"

#include "core/tradingclock.h"

namespace velmora {

void ChangeSteps::setStep(std::optional<Decimal> percent)
{
    if (percent && (percent->isZero() || percent->isNegative()))
        percent.reset();
    if (percent == m_step)
        return;
    m_step = percent;
    reset();
}

std::optional<Decimal> ChangeSteps::reached(Row row, std::string_view date, const Decimal &changePercent)
{
    if (!m_step)
        return std::nullopt;
    RowState &state = m_rows[row];
    if (state.date != date)
        state = RowState{std::string(date), 0, 0};
    const bool falling = changePercent.isNegative();
    const Decimal size = falling ? Decimal() - changePercent : changePercent;
    // The whole number of steps the move spans: the largest k with k x step <= size.
    std::int64_t levels = 0;
    Decimal next = *m_step;
    while (!(size < next) && levels < 1000) {
        ++levels;
        next += *m_step;
    }
    std::int64_t &done = falling ? state.down : state.up;
    if (levels <= done)
        return std::nullopt;
    done = levels;
    const Decimal level = Decimal::whole(levels) * *m_step;
    return falling ? Decimal() - level : level;
}

bool TellsTodaysMove(const Quote &quote, std::int64_t now)
{
    const MarketTime clock = MarketClock(quote.market, now);
    return Traded(quote) && InTradingHours(quote.market, clock) &&
           (quote.date.empty() || quote.date == MarketDate(clock));
}

std::string ChangeStepText(const Decimal &level)
{
    const bool falling = level.isNegative();
    const Decimal size = falling ? Decimal() - level : level;
    return std::string(falling ? "跌幅达到 " : "涨幅达到 ") + size.shortest(0, 2) + "%";
}

} // namespace velmora
