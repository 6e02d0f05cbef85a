#include "core/chartaddress.h"

#include "core/marketsymbol.h"
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

std::optional<std::string> ChartImageSymbol(std::string_view code, std::string *why)
{
    const auto symbols = PageSymbolsOf(code);
    if (!symbols || symbols->index) {
        if (why)
            *why = symbols ? std::string(code) + " 没有分时图。" : UnaskableCodeText(code);
        return std::nullopt;
    }
    switch (symbols->market) {
    case Market::AShare:
        return symbols->tencent;
    case Market::HongKong:
        return "hk" + symbols->tencent.substr(4); // after "r_hk"
    case Market::UnitedStates:
        return symbols->tencent; // "usAAPL"
    }
    return std::nullopt;
}

std::optional<std::string> ChartImagePath(std::string_view symbol)
{
    if (IsMarketSymbol(symbol))
        return "/newchart/min/n/" + std::string(symbol) + ".gif";
    const auto symbols = symbol.size() > 2 ? PageSymbolsOf(symbol) : std::nullopt;
    if (!symbols || symbols->index || symbol.substr(0, 2) != (symbols->market == Market::HongKong ? "hk" : "us"))
        return std::nullopt;
    if (symbols->market == Market::HongKong)
        return "/newchart/hk_stock/min/" + std::string(symbol.substr(2)) + ".gif";
    std::string ticker = symbols->sina.substr(3); // "aapl", "brk$b"
    for (char &c : ticker) {
        if (c == '$')
            c = '.';
    }
    return "/newchart/usstock/min/" + ticker + ".gif";
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
