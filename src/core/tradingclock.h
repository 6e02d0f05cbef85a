#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A moment on the Shanghai wall clock.
struct MarketTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4; // 1 Monday .. 7 Sunday

    bool operator==(const MarketTime &) const = default;
};

// Shanghai keeps UTC+8 all year, without daylight saving, so the wall clock is worked out
// from Unix seconds alone: no time-zone database needs to be installed.
MarketTime ShanghaiTime(std::int64_t unixSeconds);

// "yyyy-MM-dd", the form the quote pages date their quotes in.
std::string MarketDate(const MarketTime &time);

// Monday to Friday, 09:15:00 to 11:30:00 and 13:00:00 to 15:00:00, both ends included: the
// opening call starts at 09:15, and the second a session closes on still carries its last
// price, so the refresh at exactly 11:30:00 or 15:00:00 is the one that fetches the close.
// One second later (11:30:01, 15:00:01) is outside. Holidays are not known here: see
// MarketWatch, which goes by the quotes' own date.
bool InTradingHours(const MarketTime &time);

// The Unix seconds of a quote's own date and time ("yyyy-MM-dd", "HH:mm:ss") on the Shanghai
// wall clock; nothing for a date or time not written that way.
std::optional<std::int64_t> ShanghaiUnixSeconds(std::string_view date, std::string_view time);

} // namespace velmora
