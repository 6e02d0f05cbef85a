#pragma once

#include "core/quotereply.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// What the name lookup of the add dialog makes of one quote reply. A threshold of nullopt
// means "leave that box as it is" (the price was there but was not a number).
struct NameLookupResult
{
    std::string name;
    std::optional<std::string> takeProfit;
    std::optional<std::string> stopLoss;

    friend bool operator==(const NameLookupResult &, const NameLookupResult &) = default;
};

// The doubles nearest 1.05 and 0.95: the default thresholds lie 5 % above and below the price.
inline constexpr double kTakeProfitFactor = 1.05;
inline constexpr double kStopLossFactor = 0.95;

// Reads a reply as the lookup uses it: the name (empty when absent) and both default
// thresholds. A failed fetch is read as the reply of the empty text.
NameLookupResult ReadNameLookup(const QuoteReply &reply);

// price x factor rounded to cents, as text. An absent price counts as 0; a price that is not a
// number (or a product too large for a double) gives nullopt.
std::optional<std::string> DefaultThreshold(const std::optional<std::string> &price,
                                            double factor);

// Rounds to 2 decimal places, a value exactly halfway going to the even neighbour.
double RoundToCents(double value);

} // namespace velmora
