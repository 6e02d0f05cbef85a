#include "demo/demomarket.h"

#include "core/marketsymbol.h"
#include "core/publicquotes.h"
#include "core/tradingclock.h"

#include <algorithm>
#include <cctype>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

namespace velmora {

namespace {

constexpr double kStepSigma = 0.004;  // about 0.4 % per step
constexpr double kPullBack = 0.03;    // share of the distance to yesterday's close won back
constexpr double kLimit = 0.10;       // daily limit either side
constexpr std::size_t kMaxCodes = 20000; // any code is answered; keep memory bounded

std::uint64_t splitMix(std::uint64_t &state)
{
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double uniform(std::uint64_t &state)
{
    return static_cast<double>(splitMix(state) >> 11) * 0x1.0p-53;
}

// Box-Muller by hand: the standard library's distributions differ between implementations,
// and a seed must give the same prices everywhere.
double normal(std::uint64_t &state)
{
    const double u1 = std::max(uniform(state), 1e-300);
    const double u2 = uniform(state);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

std::uint64_t hashOf(std::string_view text)
{
    std::uint64_t h = 0xCBF29CE484222325ULL;
    for (char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ULL;
    }
    return h;
}

double cents(double value)
{
    return std::round(value * 100.0) / 100.0;
}

std::string fixed2(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                      std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0.00");
}

std::string cleanCode(std::string_view code)
{
    std::string out;
    for (char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\'' || c == ',' || byte < 0x20 || byte == 0x7F)
            continue;
        out.push_back(c);
    }
    return out;
}

} // namespace

double DemoSeries::high() const
{
    return *std::max_element(prices.begin(), prices.end());
}

double DemoSeries::low() const
{
    return *std::min_element(prices.begin(), prices.end());
}

DemoMarket::DemoMarket(std::uint64_t seed, int morningSteps)
    : m_seed(seed), m_morningSteps(std::max(0, morningSteps))
{
}

DemoMarket::State DemoMarket::create(std::string_view code) const
{
    State state;
    state.rng = hashOf(code) ^ m_seed;
    DemoSeries &s = state.series;
    s.name = DemoName(code);
    s.previousClose = cents(3.0 + uniform(state.rng) * 77.0);
    const double open = s.previousClose * (1.0 + 0.01 * normal(state.rng));
    s.prices.push_back(std::clamp(cents(open), std::ceil(s.previousClose * (1 - kLimit) * 100) / 100,
                                  std::floor(s.previousClose * (1 + kLimit) * 100) / 100));
    for (int i = 0; i < m_morningSteps; ++i)
        advance(state);
    state.step = 0;
    return state;
}

void DemoMarket::advance(State &state)
{
    DemoSeries &s = state.series;
    const double close = s.previousClose;
    const double current = s.price();
    const double r = kStepSigma * normal(state.rng) - kPullBack * (current / close - 1.0);
    const double lowest = std::ceil(close * (1 - kLimit) * 100) / 100;
    const double highest = std::floor(close * (1 + kLimit) * 100) / 100;
    const double next = std::clamp(cents(current * (1.0 + r)), lowest, highest);
    s.prices.push_back(next);
    const auto lots = static_cast<std::uint64_t>(20 + uniform(state.rng) * 3000);
    s.volume += lots;
    s.turnover += static_cast<double>(lots) * 100.0 * next / 10000.0;
    ++state.step;
}

const DemoSeries &DemoMarket::at(std::string_view code, std::int64_t step)
{
    auto it = m_states.find(code);
    if (it == m_states.end()) {
        if (m_states.size() >= kMaxCodes)
            m_states.clear();
        it = m_states.emplace(std::string(code), create(code)).first;
        // A code first seen late in the session starts from here, not from step 0.
        it->second.step = step;
    }
    State &state = it->second;
    while (state.step < step)
        advance(state);
    return state.series;
}

std::string DemoName(std::string_view code)
{
    static const std::pair<std::string_view, std::string_view> kNames[] = {
        {"600000", "岚溪科技"}, {"600036", "鹭汀电力"}, {"000001", "杉屿医药"},
        {"000002", "澄湾银行"}, {"600519", "翠岑地产"}, {"601318", "松潮酒业"},
        {"000858", "星篁通信"}, {"300750", "远舟航运"},
    };
    for (const auto &[known, name] : kNames) {
        if (code == known)
            return std::string(name);
    }
    std::string tail;
    for (auto it = code.rbegin(); it != code.rend() && tail.size() < 4; ++it) {
        const char c = *it;
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            tail.insert(tail.begin(), c);
    }
    return "演示" + (tail.empty() ? std::string("股份") : tail);
}

std::string FormatPrice(double value)
{
    return fixed2(value);
}

std::string DemoChangePercent(const DemoSeries &series)
{
    // Rounded to zero is no change at all and comes out as "0.00%", never "-0.00%", which would
    // paint an unchanged stock as falling. Simulated prices are never zero, so the empty change
    // cannot happen; "0.00%" stands in all the same.
    const std::string change =
        PercentChangeFromPrices(FormatPrice(series.price()), FormatPrice(series.previousClose));
    return change.empty() ? std::string("0.00%") : change;
}

namespace {

std::string fixed3(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, 3);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0.000");
}

std::string changeText(const DemoSeries &series)
{
    const double change = series.price() - series.previousClose;
    return std::fabs(change) < 0.005 ? std::string("0.00") : FormatPrice(change);
}

std::string withoutSeparators(std::string_view text)
{
    std::string out;
    for (char c : text) {
        if (c != '-' && c != ':')
            out.push_back(c);
    }
    return out;
}

// "yyyy/MM/dd" for "yyyy-MM-dd".
std::string slashed(std::string date)
{
    for (char &c : date) {
        if (c == '-')
            c = '/';
    }
    return date;
}

std::string joinedLine(std::string_view head, const std::vector<std::string> &fields, char sep)
{
    std::string line(head);
    line += "=\"";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += sep;
        line += fields[i];
    }
    return line + "\";\n";
}

} // namespace

std::optional<DemoSymbol> DemoTencentSymbol(std::string_view symbol)
{
    if (IsMarketSymbol(symbol))
        return DemoSymbol{Market::AShare, std::string(symbol.substr(2))};
    for (const std::string_view prefix : {"r_hk", "hk"}) {
        if (symbol.starts_with(prefix) && symbol.size() > prefix.size())
            return DemoSymbol{Market::HongKong, std::string(symbol.substr(prefix.size()))};
    }
    if (symbol.starts_with("us") && symbol.size() > 2)
        return DemoSymbol{Market::UnitedStates, std::string(symbol.substr(2))};
    return std::nullopt;
}

std::optional<DemoSymbol> DemoSinaSymbol(std::string_view symbol)
{
    if (IsMarketSymbol(symbol))
        return DemoSymbol{Market::AShare, std::string(symbol.substr(2))};
    if (symbol.starts_with("rt_hk") && symbol.size() > 5)
        return DemoSymbol{Market::HongKong, std::string(symbol.substr(5))};
    if (symbol.starts_with("gb_") && symbol.size() > 3) {
        std::string ticker(symbol.substr(3));
        for (char &c : ticker)
            c = c == '$' ? '.' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return DemoSymbol{Market::UnitedStates, ticker};
    }
    return std::nullopt;
}

std::string DemoTencentLine(std::string_view symbol, const DemoSeries &series, std::int64_t now)
{
    const auto demo = DemoTencentSymbol(symbol);
    const Market market = demo ? demo->market : Market::AShare;
    const MarketTime clock = MarketClock(market, now);
    const std::string date = MarketDate(clock);
    const std::string time = MarketClockText(clock);
    const double price = series.price();
    const std::string head = market == Market::HongKong       ? "100"
                             : market == Market::UnitedStates ? "200"
                             : symbol.starts_with("sh")       ? "1"
                             : symbol.starts_with("sz")       ? "51"
                                                              : "62";
    const std::string code = market == Market::UnitedStates ? (demo ? demo->code : "") + ".OQ"
                             : demo                         ? demo->code
                                                            : std::string(symbol.substr(2));
    std::string percent = DemoChangePercent(series);
    percent.pop_back(); // the page writes the percentage without its sign
    std::vector<std::string> f = {head,
                                  series.name,
                                  code,
                                  FormatPrice(price),
                                  FormatPrice(series.previousClose),
                                  FormatPrice(series.open()),
                                  std::to_string(series.volume),
                                  std::to_string(series.volume / 2),
                                  std::to_string(series.volume - series.volume / 2)};
    // Five bids below and five asks above the price, a cent apart: price, then lots.
    for (const double side : {-0.01, 0.01}) {
        for (int k = 1; k <= 5; ++k) {
            f.push_back(FormatPrice(price + side * k));
            f.push_back(std::to_string(10 * k));
        }
    }
    f.push_back(std::string()); // 29 recent trades
    // 30: each market writes its own time its own way
    f.push_back(market == Market::AShare     ? withoutSeparators(date) + withoutSeparators(time)
                : market == Market::HongKong ? slashed(date) + ' ' + time
                                             : date + ' ' + time);
    f.push_back(changeText(series));         // 31
    f.push_back(percent);                    // 32
    f.push_back(FormatPrice(series.high())); // 33
    f.push_back(FormatPrice(series.low()));  // 34
    f.push_back(market == Market::UnitedStates
                    ? std::string("USD")
                    : FormatPrice(price) + "/" + std::to_string(series.volume) + "/" +
                          FormatPrice(series.turnover * 10000)); // 35
    f.push_back(std::to_string(series.volume));                  // 36
    f.push_back(FormatPrice(series.turnover));                   // 37, ten thousands
    const std::size_t fields = market == Market::AShare ? 50 : market == Market::HongKong ? 78 : 71;
    while (f.size() < fields)
        f.push_back("0.00");
    if (market == Market::HongKong)
        f[75] = "HKD";
    return joinedLine("v_" + std::string(symbol), f, '~');
}

std::string DemoSinaLine(std::string_view symbol, const DemoSeries &series, std::int64_t now)
{
    const auto demo = DemoSinaSymbol(symbol);
    const Market market = demo ? demo->market : Market::AShare;
    const double price = series.price();
    std::vector<std::string> f;
    if (market == Market::HongKong) {
        const MarketTime clock = MarketClock(market, now);
        f = {"DEMO " + (demo ? demo->code : std::string()), series.name,
             fixed3(series.open()), fixed3(series.previousClose), fixed3(series.high()),
             fixed3(series.low()), fixed3(price), changeText(series),
             DemoChangePercent(series).substr(0, DemoChangePercent(series).size() - 1),
             fixed3(price - 0.01), fixed3(price + 0.01), FormatPrice(series.turnover * 10000),
             std::to_string(series.volume * 100), "0.000", "0.000", fixed3(series.high()),
             fixed3(series.low()), slashed(MarketDate(clock)),
             MarketClockText(clock), "0", "0", "0", "0", "0"};
        return joinedLine("var hq_str_" + std::string(symbol), f, ',');
    }
    if (market == Market::UnitedStates) {
        // The page dates US quotes in Beijing time, and gives the New York close time apart.
        const MarketTime beijing = MarketClock(Market::AShare, now);
        const MarketTime newYork = MarketClock(Market::UnitedStates, now);
        std::string percent = DemoChangePercent(series);
        percent.pop_back();
        f = {series.name, FormatPrice(price), percent,
             MarketDate(beijing) + ' ' + MarketClockText(beijing), changeText(series),
             FormatPrice(series.open()), FormatPrice(series.high()), FormatPrice(series.low())};
        while (f.size() < 25)
            f.push_back("0");
        f.push_back(MarketDate(newYork) + " 16:00:00"); // 25
        f.push_back(FormatPrice(series.previousClose));  // 26
        f.push_back("0");
        return joinedLine("var hq_str_" + std::string(symbol), f, ',');
    }
    const MarketTime clock = MarketClock(Market::AShare, now);
    f = {series.name,
         fixed3(series.open()),
         fixed3(series.previousClose),
         fixed3(price),
         fixed3(series.high()),
         fixed3(series.low()),
         fixed3(price - 0.01),
         fixed3(price + 0.01),
         std::to_string(series.volume * 100),
         FormatPrice(series.turnover * 10000)};
    // Five bids, then five asks: shares, then price.
    for (const double side : {-0.01, 0.01}) {
        for (int k = 1; k <= 5; ++k) {
            f.push_back(std::to_string(1000 * k));
            f.push_back(fixed3(price + side * k));
        }
    }
    f.push_back(MarketDate(clock));      // 30
    f.push_back(MarketClockText(clock)); // 31
    f.push_back("00");
    return joinedLine("var hq_str_" + std::string(symbol), f, ',');
}

std::string DemoSinaEmptyLine(std::string_view symbol)
{
    std::string name;
    for (char c : symbol) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == ';' || c == ',' || c == '=' || byte < 0x20 || byte == 0x7F)
            continue;
        name.push_back(c);
    }
    return "var hq_str_" + name + "=\"\";\n";
}

std::string DemoReply(std::string_view code, const DemoSeries &series, std::string_view date,
                      std::string_view time)
{
    const std::string clean = cleanCode(code);
    const double change = series.price() - series.previousClose;
    const std::string fields[] = {
        "cn_" + clean,
        clean,
        series.name,
        FormatPrice(series.price()),
        DemoChangePercent(series),
        std::fabs(change) < 0.005 ? std::string("0.00") : FormatPrice(change),
        FormatPrice(series.open()),
        FormatPrice(series.previousClose),
        std::to_string(series.volume),
        FormatPrice(series.turnover),
        std::string(time),
        FormatPrice(series.high()),
        FormatPrice(series.low()),
        std::string(date),
    };
    std::string reply;
    for (const auto &field : fields) {
        if (!reply.empty())
            reply += ',';
        reply += '\'';
        reply += field;
        reply += '\'';
    }
    return reply;
}

} // namespace velmora
