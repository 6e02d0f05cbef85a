#include "core/alertcrossing.h"

#include "core/decimal.h"

#include <algorithm>

namespace velmora {

void AlertCrossings::enable(std::int64_t nowMs)
{
    m_enabled = true;
    m_sinceMs = nowMs;
    m_rows.clear();
}

void AlertCrossings::disable()
{
    m_enabled = false;
    m_rows.clear();
}

void AlertCrossings::thresholdsChanged(Row row)
{
    const auto it = m_rows.find(row);
    if (it != m_rows.end())
        std::fill(std::begin(it->second.armed), std::end(it->second.armed), true);
}

void AlertCrossings::forget(Row row)
{
    m_rows.erase(row);
}

bool AlertCrossings::backInside(AlertKind kind, std::string_view price, std::string_view threshold) const
{
    const auto level = Decimal::parse(threshold);
    const auto now = Decimal::parse(price);
    if (!level || !now)
        return false;
    // Exactly: price x 100 against threshold x (100 - band) for a take-profit, (100 + band) for
    // a stop-loss.
    const Decimal hundred = Decimal::whole(100);
    if (kind == AlertKind::TakeProfit)
        return !(*level * (hundred - m_deadBand) < *now * hundred);
    return !(*now * hundred < *level * (hundred + m_deadBand));
}

std::vector<Alert> AlertCrossings::compare(const Reply &reply, std::int64_t staleAfterMs)
{
    if (!m_enabled || reply.sentAtMs < m_sinceMs)
        return {};
    RowState &state = m_rows[reply.row];
    if (state.lastSentAtMs && reply.sentAtMs < *state.lastSentAtMs)
        return {};
    state.lastSentAtMs = reply.sentAtMs;
    if (reply.ageMs > staleAfterMs)
        return {};
    const auto price = reply.price ? ParseDecimal(*reply.price) : std::nullopt;
    if (!price || *price == 0)
        return {};

    const std::vector<Alert> beyond = EvaluateAlerts(reply.price, reply.takeProfit, reply.stopLoss);
    const std::string *thresholds[2] = {&reply.takeProfit, &reply.stopLoss};
    std::vector<Alert> crossed;
    for (const AlertKind kind : {AlertKind::TakeProfit, AlertKind::StopLoss}) {
        const int side = kind == AlertKind::TakeProfit ? 0 : 1;
        const auto passed = std::find_if(beyond.begin(), beyond.end(),
                                         [kind](const Alert &alert) { return alert.kind == kind; });
        if (passed != beyond.end()) {
            if (state.armed[side])
                crossed.push_back(*passed);
            state.armed[side] = false;
        } else if (backInside(kind, *reply.price, *thresholds[side])) {
            state.armed[side] = true; // seen inside again, past the dead band
        }
    }
    return crossed;
}

} // namespace velmora
