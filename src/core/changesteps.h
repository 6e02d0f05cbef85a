#pragma once

#include "core/exactdecimal.h"
#include "core/quote.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Alerts on the day's move in steps: with a step of 3 %, a row whose change from the previous
// close reaches +3 %, +6 %, ... or -3 %, -6 %, ... alerts once for each such level, once a day:
// coming back and going there again the same day says nothing new, and a new day (the quote's
// own date) starts afresh. A move past several levels at once alerts for the farthest.
class ChangeSteps
{
public:
    using Row = std::uint64_t;

    // The step in percent; nothing (or zero) switches these alerts off.
    void setStep(std::optional<Decimal> percent);
    bool enabled() const { return m_step.has_value(); }
    // Alerts switched on, or the step changed: every row starts afresh.
    void reset() { m_rows.clear(); }
    void forget(Row row) { m_rows.erase(row); }

    // The level newly reached by this row's change on this day ("yyyy-MM-dd"), signed: +6 for
    // "涨幅达到 6%", -3 for "跌幅达到 3%". The caller has already left out quotes that tell
    // nothing: a closed market, no trade, a stale quote.
    std::optional<Decimal> reached(Row row, std::string_view date, const Decimal &changePercent);

private:
    struct RowState
    {
        std::string date;
        std::int64_t up = 0;   // levels reached above the close today
        std::int64_t down = 0; // and below it
    };

    std::optional<Decimal> m_step;
    std::map<Row, RowState> m_rows;
};

// Whether a quote tells today's move at this moment (Unix seconds): its market trades now, it
// shows a trade, and it is dated today on its market's clock (when it carries a date). Quotes of
// a closed market repeat the last day's change, which is no news.
bool TellsTodaysMove(const Quote &quote, std::int64_t now);

// "涨幅达到 3%", "跌幅达到 6%" for a level as reached() gives it.
std::string ChangeStepText(const Decimal &level);

} // namespace velmora
