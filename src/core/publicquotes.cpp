#include "core/publicquotes.h"

#include "core/decimal.h"
#include "core/marketsymbol.h"
#include "core/tradingclock.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace velmora {

namespace {

// Field positions, numbered from 0, of each page's line for each market.
//
// tencent, "v_<symbol>="f0~f1~...";", the same positions for every market: checked against
// shidenggui/easyquotation, easyquotation/tencent.py (format_response_data: name 1, price 3,
// previous close 4, open 5, volume 6, date and time 30 as "%Y%m%d%H%M%S", change 31, change in
// percent 32, high 33, low 34; at most 60 codes per request) and easyquotation/hkquote.py (the
// same for "r_hk" lines, the time as "yyyy/MM/dd HH:mm:ss"), and against a public quote
// provider that reads A-share, "r_hk" and "us" lines with one layout. A-share lines hold 88
// fields, Hong Kong lines 78 and US lines 71: a line needs the first 35, no more.
struct TencentLayout
{
    static constexpr std::size_t name = 1, price = 3, previousClose = 4, volume = 6, time = 30,
                                 percent = 32, high = 33, low = 34, fields = 35;
};

// sina, "var hq_str_<symbol>="f0,f1,...";", a layout per market:
// - A-shares: checked against easyquotation/sina.py (name, open, close, now, high, low, ...,
//   date and time right after the 30 figures) and wangdingwei/wangdingwei.github.io, js/util.js
//   (parseSinaQuote: name 0, previous close 2, price 3, date 30, time 31).
// - Hong Kong ("hk", "rt_hk"): English name 0, Chinese name 1, open 2, previous close 3, high 4,
//   low 5, price 6, change 7, percent 8, volume 12, date 17 ("yyyy/MM/dd"), time 18; checked
//   against the same js/util.js (previous close 3, price 6, date 17, time 18) and a public quote
//   provider's notes; price 6 minus previous close 3 is change 7 on the lines seen.
// - United States ("gb_"): name 0, price 1, percent 2, date and time 3 (Beijing time), change
//   4, open 5, high 6, low 7, volume 10, the close time in New York 25, previous close 26;
//   checked against public providers that read name 0, price 1, percent 2, time 3 and change 4.
// The Referer the page wants is the one Mtt-great/Tick, getTickInfo/getTickInfoBySina.py sends.
struct SinaLayout
{
    std::size_t name, altName, price, previousClose, high, low, volume, date, time, fields;
};
constexpr SinaLayout kSinaAShare{0, 0, 3, 2, 4, 5, 8, 30, 31, 32};
constexpr SinaLayout kSinaHongKong{1, 0, 6, 3, 4, 5, 12, 17, 18, 19};
constexpr std::size_t kSinaUsPrice = 1, kSinaUsPercent = 2, kSinaUsTime = 3, kSinaUsChange = 4,
                      kSinaUsHigh = 6, kSinaUsLow = 7, kSinaUsVolume = 10,
                      kSinaUsPreviousClose = 26, kSinaUsFields = 8;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether text has a digit wherever pattern has 'd' and the same character elsewhere.
bool fits(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == 'd' ? !isDigit(text[i]) : text[i] != pattern[i])
            return false;
    }
    return true;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

struct Assignment
{
    std::string_view name;
    std::string_view body;
};

// Every line of the reply of the form <prefix><name>="<body>"; with a symbol as the name.
// A line ends at CR or LF, so CR LF, LF and a last line without a break all work and no
// field can hold a line break; a line without its closing quote and semicolon was cut off
// and is dropped rather than read short.
std::vector<Assignment> assignments(std::string_view reply, std::string_view prefix)
{
    std::vector<Assignment> out;
    std::size_t start = 0;
    while (start < reply.size()) {
        std::size_t end = reply.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = reply.size();
        const std::string_view line = TrimBlanks(reply.substr(start, end - start));
        start = end + 1;
        if (!line.starts_with(prefix) || !line.ends_with("\";"))
            continue;
        const std::size_t equals = line.find("=\"", prefix.size());
        if (equals == std::string_view::npos || equals + 2 > line.size() - 2)
            continue;
        const std::string_view name = line.substr(prefix.size(), equals - prefix.size());
        if (!IsPageSymbol(name))
            continue;
        out.push_back({name, line.substr(equals + 2, line.size() - 2 - (equals + 2))});
    }
    return out;
}

// An exact decimal: digits / 10^scale, with the sign apart.
struct Exact
{
    bool negative = false;
    std::int64_t digits = 0;
    int scale = 0;
};

constexpr std::int64_t kDigitsLimit = 100'000'000'000'000; // 10^14: products stay in 63 bits

// Reads a number of the decimal grammar exactly; nothing for other text or more significant
// digits than the limit allows (no price or percentage comes near it).
std::optional<Exact> exact(std::string_view text)
{
    if (!ParseDecimal(text))
        return std::nullopt;
    text = TrimBlanks(text);
    Exact value;
    if (text.front() == '-') {
        value.negative = true;
        text.remove_prefix(1);
    }
    const std::size_t point = text.find('.');
    std::string_view fraction = point == std::string_view::npos ? "" : text.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    const std::string_view whole = text.substr(0, point);
    for (const std::string_view part : {whole, fraction}) {
        for (char c : part) {
            value.digits = value.digits * 10 + (c - '0');
            if (value.digits >= kDigitsLimit)
                return std::nullopt;
        }
    }
    value.scale = static_cast<int>(fraction.size());
    return value;
}

// The value at a larger scale, or nothing when it would pass the limit.
std::optional<std::int64_t> rescaled(const Exact &value, int scale)
{
    std::int64_t digits = value.digits;
    for (int s = value.scale; s < scale; ++s) {
        digits *= 10;
        if (digits >= kDigitsLimit)
            return std::nullopt;
    }
    return value.negative ? -digits : digits;
}

// numerator / denominator (denominator > 0) rounded to the nearest whole number, a value
// exactly halfway going to the even neighbour.
std::int64_t roundHalfEven(std::int64_t numerator, std::int64_t denominator)
{
    std::int64_t quotient = numerator / denominator;
    const std::int64_t twice = 2 * (numerator % denominator);
    const std::int64_t away = numerator < 0 ? -1 : 1;
    const std::int64_t size = twice < 0 ? -twice : twice;
    if (size > denominator || (size == denominator && quotient % 2 != 0))
        quotient += away;
    return quotient;
}

// Hundredths of a percent as the row writes them: "-2.86%", "0.00%" (never "-0.00%").
std::string percentText(std::int64_t hundredths)
{
    std::string out = hundredths < 0 ? "-" : "";
    const std::int64_t size = hundredths < 0 ? -hundredths : hundredths;
    out += std::to_string(size / 100);
    out += '.';
    out += static_cast<char>('0' + size % 100 / 10);
    out += static_cast<char>('0' + size % 10);
    out += '%';
    return out;
}

// a - b written exactly at the finer of their scales ("180.25" - "-2.5" = "182.75"); nothing
// when either is not a number.
std::optional<std::string> DecimalDifference(std::string_view a, std::string_view b)
{
    const auto x = exact(a);
    const auto y = exact(b);
    if (!x || !y)
        return std::nullopt;
    const int scale = std::max(x->scale, y->scale);
    const auto p = rescaled(*x, scale);
    const auto q = rescaled(*y, scale);
    if (!p || !q)
        return std::nullopt;
    const std::int64_t difference = *p - *q;
    std::string digits = std::to_string(difference < 0 ? -difference : difference);
    while (digits.size() <= static_cast<std::size_t>(scale))
        digits.insert(digits.begin(), '0');
    if (scale > 0)
        digits.insert(digits.end() - scale, '.');
    return (difference < 0 ? "-" : "") + digits;
}

std::string joined(std::string_view head, const std::vector<std::string> &symbols)
{
    std::string out(head);
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        if (i > 0)
            out += ',';
        out += symbols[i];
    }
    return out;
}

} // namespace

std::string TrimPrice(std::string_view price)
{
    if (!ParseDecimal(price))
        return std::string(price);
    std::string out(TrimBlanks(price));
    const std::size_t point = out.find('.');
    if (point == std::string::npos)
        return out;
    while (out.size() > point + 3 && out.back() == '0')
        out.pop_back();
    return out;
}

std::string FormatPercentChange(std::string_view percent)
{
    const auto value = exact(percent);
    if (!value)
        return {};
    std::int64_t hundredths = 0;
    if (value->scale <= 2) {
        const auto scaled = rescaled(*value, 2);
        if (!scaled)
            return {};
        hundredths = *scaled;
    } else {
        // Past 10^15 the divisor is more than twice any digits there can be: it rounds to 0.
        std::int64_t divisor = 1;
        for (int s = 2; s < value->scale && divisor < 10 * kDigitsLimit; ++s)
            divisor *= 10;
        hundredths = divisor >= 10 * kDigitsLimit
                         ? 0
                         : roundHalfEven(value->negative ? -value->digits : value->digits, divisor);
    }
    return percentText(hundredths);
}

std::string PercentChangeFromPrices(std::string_view price, std::string_view previousClose)
{
    const auto now = exact(price);
    const auto before = exact(previousClose);
    if (!now || !before || now->negative || before->negative || now->digits == 0 ||
        before->digits == 0)
        return {};
    const int scale = now->scale > before->scale ? now->scale : before->scale;
    const auto p = rescaled(*now, scale);
    const auto q = rescaled(*before, scale);
    if (!p || !q)
        return {};
    // Both below 10^14, so the difference times 10^4 stays below 2 * 10^18.
    return percentText(roundHalfEven((*p - *q) * 10'000, *q));
}

QuotesByKey ParseTencentReply(std::string_view utf8)
{
    using L = TencentLayout;
    QuotesByKey quotes;
    for (const Assignment &line : assignments(utf8, "v_")) {
        const std::vector<std::string_view> f = split(line.body, '~');
        if (f.size() < L::fields)
            continue;
        Quote quote;
        quote.market = TencentMarket(line.name);
        quote.name = std::string(f[L::name]);
        quote.price = TrimPrice(f[L::price]);
        quote.high = TrimPrice(f[L::high]);
        quote.low = TrimPrice(f[L::low]);
        quote.change = FormatPercentChange(f[L::percent]);
        quote.previousClose = TrimPrice(f[L::previousClose]);
        quote.volume = std::string(TrimBlanks(f[L::volume]));
        quote.currency = CurrencyCode(quote.market);
        // Each market writes its time its own way, on its own clock: "yyyyMMddHHmmss",
        // "yyyy/MM/dd HH:mm:ss" or "yyyy-MM-dd HH:mm:ss".
        const std::string_view when = f[L::time];
        if (fits(when, "dddddddddddddd")) {
            quote.date = std::string(when.substr(0, 4)) + '-' + std::string(when.substr(4, 2)) + '-' +
                         std::string(when.substr(6, 2));
            quote.time = std::string(when.substr(8, 2)) + ':' + std::string(when.substr(10, 2)) + ':' +
                         std::string(when.substr(12, 2));
        } else if (fits(when, "dddd/dd/dd dd:dd:dd") || fits(when, "dddd-dd-dd dd:dd:dd")) {
            quote.date = std::string(when.substr(0, 4)) + '-' + std::string(when.substr(5, 2)) + '-' +
                         std::string(when.substr(8, 2));
            quote.time = std::string(when.substr(11));
        }
        quotes[std::string(line.name)] = std::move(quote);
    }
    return quotes;
}

QuotesByKey ParseSinaReply(std::string_view utf8)
{
    QuotesByKey quotes;
    for (const Assignment &line : assignments(utf8, "var hq_str_")) {
        if (line.body.empty())
            continue;
        const std::vector<std::string_view> f = split(line.body, ',');
        Quote quote;
        quote.market = SinaMarket(line.name);
        quote.currency = CurrencyCode(quote.market);
        if (quote.market == Market::UnitedStates) {
            if (f.size() < kSinaUsFields)
                continue;
            quote.name = std::string(f[0]);
            quote.price = TrimPrice(f[kSinaUsPrice]);
            quote.high = TrimPrice(f[kSinaUsHigh]);
            quote.low = TrimPrice(f[kSinaUsLow]);
            quote.volume = f.size() > kSinaUsVolume ? std::string(TrimBlanks(f[kSinaUsVolume])) : "";
            quote.previousClose =
                f.size() > kSinaUsPreviousClose
                    ? TrimPrice(f[kSinaUsPreviousClose])
                    : TrimPrice(DecimalDifference(f[kSinaUsPrice], f[kSinaUsChange]).value_or(""));
            quote.change = PercentChangeFromPrices(quote.price, quote.previousClose);
            if (quote.change.empty())
                quote.change = FormatPercentChange(f[kSinaUsPercent]);
            // The page dates US quotes in Beijing time; the row tells them in New York's.
            const std::string_view when = f[kSinaUsTime];
            if (fits(when, "dddd-dd-dd dd:dd:dd")) {
                if (const auto at = MarketUnixSeconds(Market::AShare, when.substr(0, 10), when.substr(11))) {
                    const MarketTime newYork = MarketClock(Market::UnitedStates, *at);
                    quote.date = MarketDate(newYork);
                    quote.time = MarketClockText(newYork);
                }
            }
            quotes[std::string(line.name)] = std::move(quote);
            continue;
        }
        const SinaLayout &l = quote.market == Market::HongKong ? kSinaHongKong : kSinaAShare;
        if (f.size() < l.fields)
            continue;
        quote.name = std::string(f[l.name].empty() ? f[l.altName] : f[l.name]);
        quote.price = TrimPrice(f[l.price]);
        quote.high = TrimPrice(f[l.high]);
        quote.low = TrimPrice(f[l.low]);
        quote.change = PercentChangeFromPrices(f[l.price], f[l.previousClose]);
        quote.previousClose = TrimPrice(f[l.previousClose]);
        quote.volume = std::string(TrimBlanks(f[l.volume]));
        const std::string_view date = f[l.date];
        if (fits(date, "dddd-dd-dd") || fits(date, "dddd/dd/dd"))
            quote.date = std::string(date.substr(0, 4)) + '-' + std::string(date.substr(5, 2)) + '-' +
                         std::string(date.substr(8, 2));
        const std::string_view time = f[l.time];
        if (fits(time, "dd:dd:dd"))
            quote.time = std::string(time);
        else if (fits(time, "dd:dd"))
            quote.time = std::string(time) + ":00";
        quotes[std::string(line.name)] = std::move(quote);
    }
    return quotes;
}

Market TencentMarket(std::string_view symbol)
{
    if (symbol.starts_with("r_hk") || symbol.starts_with("hk"))
        return Market::HongKong;
    if (symbol.starts_with("us"))
        return Market::UnitedStates;
    return Market::AShare;
}

Market SinaMarket(std::string_view symbol)
{
    if (symbol.starts_with("rt_hk") || symbol.starts_with("hk"))
        return Market::HongKong;
    if (symbol.starts_with("gb_"))
        return Market::UnitedStates;
    return Market::AShare;
}

bool ReplyNamesAny(std::string_view utf8, std::string_view linePrefix,
                   const std::vector<std::string> &symbols)
{
    for (const Assignment &line : assignments(utf8, linePrefix)) {
        if (std::find(symbols.begin(), symbols.end(), line.name) != symbols.end())
            return true;
    }
    return false;
}

std::string TencentRequestTarget(const std::vector<std::string> &symbols)
{
    return joined("/q=", symbols);
}

std::string SinaRequestTarget(const std::vector<std::string> &symbols)
{
    return joined("/list=", symbols);
}

} // namespace velmora
