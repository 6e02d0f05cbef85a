#include "core/publicquotes.h"

#include "core/decimal.h"
#include "core/marketsymbol.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace velmora {

namespace {

// Field positions, numbered from 0.
//
// tencent, "v_<symbol>="f0~f1~...";": checked against shidenggui/easyquotation,
// easyquotation/tencent.py (format_response_data): name 1, price ("now") 3, previous close
// ("close") 4, open 5, date and time 30 read as "%Y%m%d%H%M%S", change 31, change in percent 32,
// high 33, low 34; it also asks at most 60 codes per request (max_num). The slashed time
// "yyyy/MM/dd HH:mm:ss" is accepted as well, since the same field has been seen written so.
constexpr std::size_t kTencentName = 1;
constexpr std::size_t kTencentPrice = 3;
constexpr std::size_t kTencentPreviousClose = 4;
constexpr std::size_t kTencentTime = 30;
constexpr std::size_t kTencentPercent = 32;
constexpr std::size_t kTencentHigh = 33;
constexpr std::size_t kTencentLow = 34;
constexpr std::size_t kTencentFields = 35;

// sina, "var hq_str_<symbol>="f0,f1,...";": checked against shidenggui/easyquotation,
// easyquotation/sina.py (name, open, close, now, high, low, ... ask5, then date and time right
// after the 30 figures, so at 30 and 31) and wangdingwei/wangdingwei.github.io, js/util.js
// (parseSinaQuote: name 0, previous close 2, price 3, date 30, time 31). The Referer the page
// wants is the one Mtt-great/Tick, getTickInfo/getTickInfoBySina.py sends.
constexpr std::size_t kSinaName = 0;
constexpr std::size_t kSinaPreviousClose = 2;
constexpr std::size_t kSinaPrice = 3;
constexpr std::size_t kSinaHigh = 4;
constexpr std::size_t kSinaLow = 5;
constexpr std::size_t kSinaDate = 30;
constexpr std::size_t kSinaTime = 31;
constexpr std::size_t kSinaFields = 32;

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
        if (!IsMarketSymbol(name))
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
    QuotesByKey quotes;
    for (const Assignment &line : assignments(utf8, "v_")) {
        const std::vector<std::string_view> f = split(line.body, '~');
        if (f.size() < kTencentFields)
            continue;
        Quote quote;
        quote.name = std::string(f[kTencentName]);
        quote.price = TrimPrice(f[kTencentPrice]);
        quote.high = TrimPrice(f[kTencentHigh]);
        quote.low = TrimPrice(f[kTencentLow]);
        quote.change = FormatPercentChange(f[kTencentPercent]);
        quote.previousClose = TrimPrice(f[kTencentPreviousClose]);
        const std::string_view when = f[kTencentTime];
        if (fits(when, "dddddddddddddd") || fits(when, "dddd/dd/dd dd:dd:dd")) {
            const bool slashed = when.size() == 19;
            const std::string_view clock = when.substr(slashed ? 11 : 8);
            quote.date = std::string(when.substr(0, 4)) + '-' +
                         std::string(when.substr(slashed ? 5 : 4, 2)) + '-' +
                         std::string(when.substr(slashed ? 8 : 6, 2));
            quote.time = slashed ? std::string(clock)
                                 : std::string(clock.substr(0, 2)) + ':' +
                                       std::string(clock.substr(2, 2)) + ':' +
                                       std::string(clock.substr(4, 2));
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
        if (f.size() < kSinaFields)
            continue;
        Quote quote;
        quote.name = std::string(f[kSinaName]);
        quote.price = TrimPrice(f[kSinaPrice]);
        quote.high = TrimPrice(f[kSinaHigh]);
        quote.low = TrimPrice(f[kSinaLow]);
        quote.change = PercentChangeFromPrices(f[kSinaPrice], f[kSinaPreviousClose]);
        quote.previousClose = TrimPrice(f[kSinaPreviousClose]);
        if (fits(f[kSinaDate], "dddd-dd-dd"))
            quote.date = std::string(f[kSinaDate]);
        if (fits(f[kSinaTime], "dd:dd:dd"))
            quote.time = std::string(f[kSinaTime]);
        quotes[std::string(line.name)] = std::move(quote);
    }
    return quotes;
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
