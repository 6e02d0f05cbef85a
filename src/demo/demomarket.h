#pragma once

#include <cstdint>
#include <map>
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

// "1.20%", "-0.35%", "0.00%": two decimals, a "-" only for a fall.
std::string DemoChangePercent(const DemoSeries &series);

// Two decimals, point separator, whatever the process locale.
std::string FormatPrice(double value);

} // namespace velmora
