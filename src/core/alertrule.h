#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

enum class AlertKind { TakeProfit, StopLoss };

// One alert raised for a row: which side was passed and the threshold as the row holds it.
struct Alert
{
    AlertKind kind;
    std::string threshold;

    friend bool operator==(const Alert &, const Alert &) = default;
};

// The rule for one row at one check. Prices and thresholds are compared as decimal numbers
// (compared as texts, 10.05 would never pass a take-profit of 9.98), strictly: a price equal to a
// threshold raises nothing. The take-profit test comes first and the stop-loss test second, both
// always made, so when both hold the stop-loss alert is the later one. A threshold that is empty
// or not a number sets no alert on its side, and without a usable latest price (no reply, no
// price field, or a price that is not a number) the row raises nothing: an unreachable service
// must not look like a crash in the price. Neither does a price of zero, which feeds report
// before the opening auction and for suspended stocks.
std::vector<Alert> EvaluateAlerts(const std::optional<std::string> &latestPrice,
                                  std::string_view takeProfit, std::string_view stopLoss);

// The caption of the threshold's label in the alert window, UTF-8.
const char *ThresholdCaption(AlertKind kind);

} // namespace velmora
