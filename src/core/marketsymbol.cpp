#include "core/marketsymbol.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

bool isDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Leading digits of a bare six-digit code and the market they belong to, longest first so that
// "92" (the Beijing exchange's newer codes) wins over "9" (Shanghai B shares) and the Shanghai
// bond and repo ranges win over the Shenzhen "1".
//
// Checked against public code that reads the same two pages:
// - shidenggui/easyquotation, easyquotation/helpers.py (get_stock_type): "sh" for 5, 6, 9 and
//   110, 113, 132, 204; everything else "sz". Its tencent.py asks qt.gtimg.cn with such symbols.
// - Zahgon/easyquotation, easyquotation/helpers.py: the later rule with "bj" for 4 and 8 and
//   118 added to the Shanghai list.
// - A later copy of that helper found in the public code index holds "bj" for 43, 83, 87, 92
//   checked before the Shanghai heads, which is why "92" sits ahead of "9" here.
// Those helpers also send 7xxxxx (subscription codes) to "sh" and let any other text through
// as "sz"; here a code no market lists gets no symbol at all, so the row says why instead of
// showing another market's stock.
struct Head
{
    std::string_view digits;
    std::string_view market;
};
constexpr std::array<Head, 15> kHeads = {{
    {"92", "bj"},
    {"110", "sh"}, {"113", "sh"}, {"118", "sh"}, {"132", "sh"}, {"204", "sh"},
    {"4", "bj"}, {"8", "bj"},
    {"6", "sh"}, {"9", "sh"}, {"5", "sh"},
    {"0", "sz"}, {"1", "sz"}, {"2", "sz"}, {"3", "sz"},
}};

} // namespace

std::optional<std::string> MarketSymbol(std::string_view code)
{
    if (code.size() == 8 && isDigits(code.substr(2))) {
        std::string symbol(code);
        symbol[0] = lower(symbol[0]);
        symbol[1] = lower(symbol[1]);
        const std::string_view prefix = std::string_view(symbol).substr(0, 2);
        if (prefix == "sh" || prefix == "sz" || prefix == "bj")
            return symbol;
        return std::nullopt;
    }
    if (code.size() != 6 || !isDigits(code))
        return std::nullopt;
    // kHeads is ordered longest first within each overlap, so the first match is the longest.
    for (const Head &head : kHeads) {
        if (code.starts_with(head.digits))
            return std::string(head.market) + std::string(code);
    }
    return std::nullopt;
}

bool IsMarketSymbol(std::string_view symbol)
{
    if (symbol.size() != 8 || !isDigits(symbol.substr(2)))
        return false;
    const std::string_view prefix = symbol.substr(0, 2);
    return prefix == "sh" || prefix == "sz" || prefix == "bj";
}

std::string UnaskableCodeText(std::string_view code)
{
    if (code.empty())
        return "股票代码为空。";
    return "无法识别的股票代码：需要六位数字，或 sh、sz、bj 加六位数字。";
}

} // namespace velmora
