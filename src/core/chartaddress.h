#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The chart page of one stock: the chart service's base, "/cn/", the code and
// "/index_kp.shtml". The code is percent-encoded the same way as in the quote address, so a
// six-digit code goes out unchanged and no code can reach outside its path segment.
std::string BuildChartUrl(std::string_view base, std::string_view code);

// Caption of the chart viewer window llq: "实时行情", fifteen blanks, the slogan, two em dashes
// and the maker's web-site domain.
std::string ChartViewerCaption(std::string_view domain);

} // namespace velmora
