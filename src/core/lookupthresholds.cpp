#include "core/lookupthresholds.h"

#include "core/decimal.h"

#include <cfenv>
#include <cmath>

namespace velmora {

double RoundToCents(double value)
{
    // nearbyint follows the current rounding mode; halves must go to the even neighbour
    // whatever a library may have left behind, so the mode is set for this one call.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double cents = std::nearbyint(value * 100);
    std::fesetround(previous);
    return cents / 100;
}

std::optional<std::string> DefaultThreshold(const std::optional<std::string> &price,
                                            double factor)
{
    double value = 0;
    if (price) {
        const auto parsed = ParseDecimal(*price);
        if (!parsed)
            return std::nullopt;
        value = *parsed;
    }
    const double product = value * factor;
    // A product beyond the range of a double fails like the multiplication it stands for.
    if (!std::isfinite(product) || !std::isfinite(product * 100))
        return std::nullopt;
    return FormatDecimal(RoundToCents(product));
}

NameLookupResult ReadNameLookup(const QuoteReply &reply)
{
    NameLookupResult result;
    result.name = reply.name.value_or(std::string());
    result.takeProfit = DefaultThreshold(reply.price, kTakeProfitFactor);
    result.stopLoss = DefaultThreshold(reply.price, kStopLossFactor);
    return result;
}

} // namespace velmora
