#include "core/quote.h"

#include "core/decimal.h"

namespace velmora {

bool Traded(const Quote &quote)
{
    const auto price = ParseDecimal(quote.price);
    return price && *price > 0;
}

bool NoTradeYet(const Quote &quote)
{
    const auto price = ParseDecimal(quote.price);
    const auto previous = ParseDecimal(quote.previousClose);
    return price && *price == 0 && previous && *previous > 0;
}

} // namespace velmora
