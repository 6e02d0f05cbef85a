#pragma once

#include "core/quote.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Codes per request: the tencent page answers at most this many at once, and the same batch
// size keeps a sina request line short.
inline constexpr std::size_t kMaxCodesPerRequest = 60;

// The reply of "{base}/q=<symbols>", already decoded to UTF-8: one line per symbol,
// v_sh600519="1~name~600519~price~previous close~...";
// Lines are matched by the symbol in their own name, never by position: an unknown code
// answers v_pv_none_match="1"; which names none and is skipped, as is any line whose name is
// not a symbol, that is cut short, or that has fewer than 35 fields.
QuotesByKey ParseTencentReply(std::string_view utf8);

// The reply of "{base}/list=<symbols>" (asked with "Referer: https://finance.sina.com.cn/"),
// already decoded to UTF-8: var hq_str_sh600519="name,open,previous close,price,...";
// An empty string (an unknown code) or a line of fewer than 32 fields gives no quote. The
// change is worked out from the price and the previous close: see PercentChangeFromPrices.
QuotesByKey ParseSinaReply(std::string_view utf8);

// Whether the reply holds a line "<linePrefix><symbol>=\"...\";" for at least one of symbols,
// an empty one included: a page that refused the request, or any other page, names none.
bool ReplyNamesAny(std::string_view utf8, std::string_view linePrefix,
                   const std::vector<std::string> &symbols);

// Zeros past the second decimal dropped: "7.850" -> "7.85", "1800.000" -> "1800.00",
// "7.8" and "10" unchanged, blanks around a number dropped. Text that is not a number in the
// decimal grammar (ParseDecimal) comes back as it is.
std::string TrimPrice(std::string_view price);

// A change in percent as the row shows it: two decimals and "%", rounded half to even,
// "-" only for a fall: "-2.86" -> "-2.86%", "1.5" -> "1.50%", "-0.001" -> "0.00%".
// Empty for anything that is not a number.
std::string FormatPercentChange(std::string_view percent);

// (price - previous close) / previous close in percent, worked out exactly from the decimal
// texts and rounded half to even to two decimals, written like FormatPercentChange. Empty
// when either is not a number or not above zero: a zero price is what the page shows before
// the first trade of the day or for a suspended stock, and no change can be told from it.
std::string PercentChangeFromPrices(std::string_view price, std::string_view previousClose);

// "/q=sh600519,sz000001" and "/list=sh600519,sz000001". The symbols come from MarketSymbol
// (letters and digits only), so nothing needs escaping.
std::string TencentRequestTarget(const std::vector<std::string> &symbols);
std::string SinaRequestTarget(const std::vector<std::string> &symbols);

} // namespace velmora
