#include "core/alertrule.h"

#include "core/decimal.h"

namespace velmora {

std::vector<Alert> EvaluateAlerts(const std::optional<std::string> &latestPrice,
                                  std::string_view takeProfit, std::string_view stopLoss)
{
    std::vector<Alert> alerts;
    if (!latestPrice)
        return alerts;
    const std::optional<double> price = ParseDecimal(*latestPrice);
    // Zero is no trade yet, or a suspended stock: nothing has passed anything.
    if (!price || *price == 0)
        return alerts;
    if (const auto limit = ParseDecimal(takeProfit); limit && *price > *limit)
        alerts.push_back({AlertKind::TakeProfit, std::string(takeProfit)});
    if (const auto limit = ParseDecimal(stopLoss); limit && *price < *limit)
        alerts.push_back({AlertKind::StopLoss, std::string(stopLoss)});
    return alerts;
}

const char *ThresholdCaption(AlertKind kind)
{
    return kind == AlertKind::TakeProfit ? "止盈价：" : "止损价：";
}

} // namespace velmora
