#pragma once

#include "core/market.h"
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
// v_sh600519="1~name~600519~price~previous close~...";, and the same for Hong Kong
// (v_r_hk00700, v_hkHSI) and US lines (v_usAAPL). Lines are matched by the symbol in their own
// name, never by position: an unknown code answers v_pv_none_match="1"; which names none
// asked, and any line that is cut short or has fewer than 35 fields is skipped. Each quote's
// date and time are on its own market's clock.
QuotesByKey ParseTencentReply(std::string_view utf8);

// The reply of "{base}/list=<symbols>" (asked with "Referer: https://finance.sina.com.cn/"),
// already decoded to UTF-8: var hq_str_sh600519="name,open,previous close,price,...";, with a
// layout of its own for Hong Kong (hq_str_rt_hk00700) and US lines (hq_str_gb_aapl). An empty
// string (an unknown code) or a line too short for its layout gives no quote. The change is
// worked out from the price and the previous close (see PercentChangeFromPrices); US times,
// which the page gives in Beijing time, are turned into New York's.
QuotesByKey ParseSinaReply(std::string_view utf8);

// Which market a page's symbol belongs to, by its prefix.
Market TencentMarket(std::string_view symbol);
Market SinaMarket(std::string_view symbol);

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

// "/q=sh600519,sz000001" and "/list=sh600519,sz000001". The symbols come from PageSymbolsOf
// (letters, digits, "_", "." and "$" only), so nothing needs escaping.
std::string TencentRequestTarget(const std::vector<std::string> &symbols);
std::string SinaRequestTarget(const std::vector<std::string> &symbols);

} // namespace velmora
