#include "core/chartaddress.h"

#include "core/quoteaddress.h"

namespace velmora {

std::string BuildChartUrl(std::string_view base, std::string_view code)
{
    // A base written with a trailing slash would otherwise give "//cn/", another page.
    while (!base.empty() && base.back() == '/')
        base.remove_suffix(1);
    std::string url(base);
    url += "/cn/";
    url += PercentEncodeCode(code);
    url += "/index_kp.shtml";
    return url;
}

std::string ChartViewerCaption(std::string_view domain)
{
    std::string caption = "实时行情";
    caption.append(15, ' ');
    caption += "Tesquin-专业Orlentis-散户赚钱好帮手！——";
    caption += domain;
    return caption;
}

} // namespace velmora
