#pragma once

#include "core/market.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// How the two public batch quote pages know a stock: its market and the symbol each page asks
// it by. Codes are stored as typed; this is only how a code is asked.
//
//   typed                                   market        first page     second page
//   sh/sz/bj + 6 digits, or 6 digits        A-shares      sh600519       sh600519
//   hk + 5 digits, or 5 digits              Hong Kong     r_hk00700      rt_hk00700
//   hk + letters (an index: hkHSI)          Hong Kong     hkHSI          rt_hkHSI
//   us + ticker, or a ticker alone          United States usAAPL         gb_aapl
//     (1-5 letters, maybe ".X": BRK.B)                    usBRK.B        gb_brk$b
//   usDJI, usIXIC, usINX (indices)          United States usDJI          gb_dji
//
// Prefixes may be written in either case. Bare six digits stay stocks (000001 is the Shenzhen
// bank); an index needs its market (sh000001). The "r_" and "rt_" variants are the pages'
// real-time Hong Kong quotes.
struct PageSymbols
{
    Market market = Market::AShare;
    std::string tencent;
    std::string sina;
    bool index = false; // a Hong Kong or US index, which has no chart image
};
std::optional<PageSymbols> PageSymbolsOf(std::string_view code);

// The market a code is asked in; A-shares for a code no page knows (the custom service asks
// every code as stored, and quotes A-shares).
Market MarketOfCode(std::string_view code);

// The A-share symbol of a code: "sh", "sz" or "bj" and six digits. A code already written that
// way (any letter case) keeps its own market, so "sh000001" (an index) and "sz000001" (a bank)
// stay apart; six bare digits get their market from their leading digits. Nothing is trimmed:
// a code with a blank, five or seven digits, or a leading digit no market uses has none.
std::optional<std::string> MarketSymbol(std::string_view code);

// True for what MarketSymbol returns: lower-case "sh", "sz" or "bj" and six ASCII digits.
bool IsMarketSymbol(std::string_view symbol);

// True for a name a page's line may carry: letters, digits, "_", "." and "$", 2 to 20 of them.
// Replies are matched to rows only through such a name.
bool IsPageSymbol(std::string_view name);

// Bare six digits that Shanghai also uses for an index (000001 is 上证指数 there): the row is
// asked as the Shenzhen stock, and its tooltip says how to ask the index.
bool BareCodeIsAlsoAnIndex(std::string_view code);

// The tooltip of a row whose code has no symbol, in Chinese, saying what a code must look like.
std::string UnaskableCodeText(std::string_view code);

} // namespace velmora
