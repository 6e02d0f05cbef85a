#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The symbol the public batch quote pages know a stock by: "sh", "sz" or "bj" and six digits.
// A code already written that way (any letter case) keeps its own market, so "sh000001" (an
// index) and "sz000001" (a bank) stay apart; six bare digits get their market from their
// leading digits. Nothing is trimmed: a code with a blank, five or seven digits, or a leading
// digit no market uses has no symbol.
std::optional<std::string> MarketSymbol(std::string_view code);

// True for what MarketSymbol returns: lower-case "sh", "sz" or "bj" and six ASCII digits.
// Replies are matched to rows only through such a name.
bool IsMarketSymbol(std::string_view symbol);

// The tooltip of a row whose code has no symbol, in Chinese, saying what a code must look like.
std::string UnaskableCodeText(std::string_view code);

} // namespace velmora
