#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The chart page of one stock: the chart service's base, "/cn/", the code and
// "/index_kp.shtml". The code is percent-encoded the same way as in the quote address, so a
// six-digit code goes out unchanged and no code can reach outside its path segment.
std::string BuildChartUrl(std::string_view base, std::string_view code);

// The public intraday chart image of a stored code, as the symbol the image feed asks by:
// "sh600519" for an A-share, "hk00700" for a Hong Kong stock, "usAAPL" for a US one. Nothing
// for a code no page knows, and for a Hong Kong or US index, which the image service has no
// chart of; *why then says so when given.
std::optional<std::string> ChartImageSymbol(std::string_view code, std::string *why = nullptr);

// The path of that image under the image service: "/newchart/min/n/sh600519.gif",
// "/newchart/hk_stock/min/00700.gif", "/newchart/usstock/min/aapl.gif". Nothing for anything
// but such a symbol, so no other path can be reached.
std::optional<std::string> ChartImagePath(std::string_view symbol);

// Caption of the chart viewer window llq: "实时行情", fifteen blanks, the slogan, two em dashes
// and the maker's web-site domain.
std::string ChartViewerCaption(std::string_view domain);

} // namespace velmora
