#pragma once

#include "core/market.h"

#include <map>
#include <string>

namespace velmora {

// One stock's quote, from the page or service that gave it to the row that shows it: read once
// from the reply (already decoded to UTF-8) and never copied field by field again. Figures are
// the texts a row shows ("10.50", "-1.23%"); nothing here is converted to a number.
struct Quote
{
    std::string name;
    std::string price;
    std::string previousClose; // empty when the reply does not carry it
    std::string high;
    std::string low;
    std::string change; // in percent: "-1.23%"; a fall begins with "-"
    std::string date;   // the quote's own "yyyy-MM-dd" in its market's time; empty when unknown
    std::string time;   // "HH:mm:ss", the same clock; empty when unknown
    std::string volume; // as the reply writes it; empty when unknown
    std::string currency; // "CNY", "HKD", "USD"; empty when the reply does not say
    Market market = Market::AShare; // whose clock date and time are on
    // A reply of the custom service may lack the fields themselves, which the add dialog reads
    // apart from empty ones: a missing price counts as 0, an empty one leaves the boxes alone.
    bool hasName = true;
    bool hasPrice = true;

    bool operator==(const Quote &) const = default;
};

// Whether the quote shows a trade: a price that is a number above zero. Before the opening
// auction, and for some suspended or delisted stocks, the pages give 0 (and 0 for the high
// and low): no trade, nothing to alert on, and no sign that the market is open.
bool Traded(const Quote &quote);

// No trade yet but a previous close to show instead: the row shows the previous close as its
// price, no high or low, a change of 0.00% and the neutral colour, and says why.
bool NoTradeYet(const Quote &quote);

// The quotes one reply holds, by the key each was asked by (a market symbol, or the code as
// stored for the custom service). A key missing had no quote in the reply.
using QuotesByKey = std::map<std::string, Quote>;

} // namespace velmora
