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

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isLetters(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), isLetter);
}

// The first two characters are this prefix, in any letter case.
bool hasPrefix(std::string_view code, std::string_view prefix)
{
    return code.size() >= prefix.size() && lower(code[0]) == prefix[0] && lower(code[1]) == prefix[1];
}

// A US ticker: 1 to 5 letters, optionally "." and 1 or 2 letters (a share class: BRK.B).
bool isTicker(std::string_view text)
{
    const std::size_t dot = text.find('.');
    const std::string_view head = text.substr(0, dot);
    if (!isLetters(head) || head.size() > 5)
        return false;
    if (dot == std::string_view::npos)
        return true;
    const std::string_view tail = text.substr(dot + 1);
    return isLetters(tail) && tail.size() <= 2;
}

std::string upperCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

std::string lowerCase(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

// The indices of the US market the pages know under these names.
constexpr std::array<std::string_view, 3> kUsIndices = {"DJI", "IXIC", "INX"};

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

std::optional<PageSymbols> PageSymbolsOf(std::string_view code)
{
    if (const auto symbol = MarketSymbol(code))
        return PageSymbols{Market::AShare, *symbol, *symbol, false};
    // Hong Kong: hk + 5 digits, 5 digits alone, or hk + letters for an index.
    const std::string_view afterHk = hasPrefix(code, "hk") ? code.substr(2) : std::string_view();
    const std::string_view hkDigits = code.size() == 5 ? code : afterHk;
    if (hkDigits.size() == 5 && isDigits(hkDigits)) {
        const std::string digits(hkDigits);
        return PageSymbols{Market::HongKong, "r_hk" + digits, "rt_hk" + digits, false};
    }
    if (isLetters(afterHk) && afterHk.size() <= 8) {
        const std::string index = upperCase(afterHk);
        return PageSymbols{Market::HongKong, "hk" + index, "rt_hk" + index, true};
    }
    // United States: us + ticker, or a ticker alone.
    const std::string_view ticker = hasPrefix(code, "us") && isTicker(code.substr(2)) ? code.substr(2)
                                    : isTicker(code)                                   ? code
                                                                                       : std::string_view();
    if (ticker.empty())
        return std::nullopt;
    const std::string name = upperCase(ticker);
    const bool index = hasPrefix(code, "us") &&
                       std::find(kUsIndices.begin(), kUsIndices.end(), name) != kUsIndices.end();
    std::string sina = "gb_" + lowerCase(ticker);
    std::replace(sina.begin(), sina.end(), '.', '$'); // the second page writes BRK.B as brk$b
    return PageSymbols{Market::UnitedStates, "us" + name, sina, index};
}

Market MarketOfCode(std::string_view code)
{
    const auto symbols = PageSymbolsOf(code);
    return symbols ? symbols->market : Market::AShare;
}

bool IsPageSymbol(std::string_view name)
{
    return name.size() >= 2 && name.size() <= 20 &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return isLetter(c) || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '$';
           });
}

bool BareCodeIsAlsoAnIndex(std::string_view code)
{
    return code.size() == 6 && isDigits(code) && code.starts_with("000");
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
    return "无法识别的股票代码：A股为六位数字或 sh、sz、bj 加六位数字，港股为五位数字或 hk 加五位数字，"
           "美股为 us 加股票代码或股票代码本身（如 AAPL）。";
}

} // namespace velmora
