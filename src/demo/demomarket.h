#pragma once

#include "core/market.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One stock's simulated day: yesterday's close, and the prices so far (the first is the open).
struct DemoSeries
{
    std::string name; // UTF-8
    double previousClose = 0;
    std::vector<double> prices;
    std::uint64_t volume = 0; // lots
    double turnover = 0;      // ten thousands

    double price() const { return prices.back(); }
    double open() const { return prices.front(); }
    double high() const;
    double low() const;
};

// Simulated prices for the built-in demo service: a seeded random walk per code, pulled back
// towards yesterday's close so that the change keeps crossing zero, and held within +-10 % of
// it like a trading limit. The same seed, code and step always give the same series.
class DemoMarket
{
public:
    explicit DemoMarket(std::uint64_t seed, int morningSteps = 120);

    // The code's series after `step` steps of the live session (0 = as first seen, with a
    // simulated morning already behind it). Steps only move forward.
    const DemoSeries &at(std::string_view code, std::int64_t step);

private:
    struct State
    {
        DemoSeries series;
        std::uint64_t rng = 0;
        std::int64_t step = 0;
    };
    State create(std::string_view code) const;
    static void advance(State &state);

    std::uint64_t m_seed;
    int m_morningSteps;
    std::map<std::string, State, std::less<>> m_states;
};

// A made-up name: a fixed list for a few codes, "演示" and the code's last characters for the
// rest. None of them is the name of a real company.
std::string DemoName(std::string_view code);

// The reply to "/msq?cn_<code>" (UTF-8; the service sends it as GBK), fourteen single-quoted
// fields: 0 key, 1 code, 2 name, 3 price, 4 change in percent, 5 change, 6 open, 7 previous
// close, 8 volume, 9 turnover, 10 time, 11 high, 12 low, 13 date. Quotes, commas and control
// characters are dropped from the code first, so any code keeps the layout.
std::string DemoReply(std::string_view code, const DemoSeries &series, std::string_view date,
                      std::string_view time);

// "1.20%", "-0.35%", "0.00%": two decimals, a "-" only for a fall. Worked out from the
// prices as shown, by the same exact rule the program applies to the public pages
// (PercentChangeFromPrices), so every shape of the demo service agrees on the change.
std::string DemoChangePercent(const DemoSeries &series);

// What a page's symbol names in the demo: its market and the code its series is kept under
// (the six digits of "sh600519", so that "/msq?cn_600519" shows the same stock; the five
// digits or the index of "r_hk00700" and "rt_hkHSI"; the ticker of "usAAPL" and "gb_aapl", in
// capitals). Nothing for a symbol the page would not know.
struct DemoSymbol
{
    Market market = Market::AShare;
    std::string code;
};
std::optional<DemoSymbol> DemoTencentSymbol(std::string_view symbol);
std::optional<DemoSymbol> DemoSinaSymbol(std::string_view symbol);

// The public batch shapes, one line each with its line break, at the moment now (Unix
// seconds), each in the layout the page uses for the symbol's market:
// tencent: v_sh600519="1~name~600519~price~previous close~open~...";  with the time at 30 (A
// shares yyyyMMddHHmmss, Hong Kong "yyyy/MM/dd HH:mm:ss" in Hong Kong time, US "yyyy-MM-dd
// HH:mm:ss" in New York time), change 31, change in percent 32, high 33, low 34; A-share lines
// of fifty fields, Hong Kong lines of 78 with "HKD" at 75, US lines of 71 with "USD" at 35.
std::string DemoTencentLine(std::string_view symbol, const DemoSeries &series, std::int64_t now);
// What tencent answers for a code it does not know: a line that names no code.
inline constexpr std::string_view kDemoTencentNoMatch = "v_pv_none_match=\"1\";\n";
// sina: A shares var hq_str_sh600519="name,open,previous close,price,high,low,...,date,time,00";
// with prices of three decimals, date at 30 and time at 31; Hong Kong
// var hq_str_rt_hk00700="english name,name,open,previous close,high,low,price,change,percent,
// ...,volume 12,...,yyyy/MM/dd 17,HH:mm:ss 18,..."; US var hq_str_gb_aapl="name,price,percent,
// Beijing date and time,change,open,high,low,...,close time in New York 25,previous close 26".
std::string DemoSinaLine(std::string_view symbol, const DemoSeries &series, std::int64_t now);
// What sina answers for a code it does not know: an empty string under that name. Quotes,
// semicolons, commas and control characters are dropped from the name first.
std::string DemoSinaEmptyLine(std::string_view symbol);

// Two decimals, point separator, whatever the process locale.
std::string FormatPrice(double value);

} // namespace velmora
