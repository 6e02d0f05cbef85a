#pragma once

#include "core/alertrule.h"
#include "core/exactdecimal.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Decides when a price crossing a threshold deserves a desktop notification: once per
// crossing, not at every check. After alerts are switched on, the first reply beyond a
// threshold counts as a crossing; the same row and side notify again only after a reply has
// shown the price back inside the threshold by at least the dead band (a share of the
// threshold: with 0.5 %, a take-profit of 10.50 re-arms at 10.4475 or below), so a price that
// wobbles by a tick around the level notifies once. A change of the row's thresholds re-arms it.
// Replies that tell nothing new are ignored altogether, neither notifying nor re-arming: one to
// a request sent before alerts were switched on, one to a request older than the last reply
// already compared for the row (replies that overtake each other), a stale quote, and a price
// that is missing, not a number or zero.
class AlertCrossings
{
public:
    using Row = std::uint64_t;

    struct Reply
    {
        Row row = 0;
        std::int64_t sentAtMs = 0; // when its request went out (a steady clock)
        std::int64_t ageMs = 0;    // how old the quote itself is
        std::optional<std::string> price;
        std::string takeProfit;
        std::string stopLoss;
    };

    // Alerts on at `now`: every row re-armed, and replies to earlier requests ignored.
    void enable(std::int64_t nowMs);
    // How far back inside, in percent of the threshold, a price must come to re-arm its side.
    void setDeadBand(const Decimal &percent) { m_deadBand = percent; }
    void disable();
    bool enabled() const { return m_enabled; }
    void thresholdsChanged(Row row);
    void forget(Row row);

    // The sides that crossed with this reply: the ones to notify.
    std::vector<Alert> compare(const Reply &reply, std::int64_t staleAfterMs);

private:
    bool backInside(AlertKind kind, std::string_view price, std::string_view threshold) const;

    struct RowState
    {
        std::optional<std::int64_t> lastSentAtMs;
        bool armed[2] = {true, true}; // take-profit, stop-loss: the next reply beyond notifies
    };

    bool m_enabled = false;
    Decimal m_deadBand;
    std::int64_t m_sinceMs = 0;
    std::map<Row, RowState> m_rows;
};

} // namespace velmora
