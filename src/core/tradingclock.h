#pragma once

#include "core/market.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// A moment on one market's wall clock.
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

// How far the market's wall clock is ahead of UTC at this moment, in seconds. Shanghai and
// Hong Kong keep UTC+8 all year. New York keeps UTC-5, and UTC-4 from 02:00 on the second
// Sunday of March to 02:00 on the first Sunday of November (the rule in force since 2007),
// worked out here so that no time-zone database needs to be installed.
std::int64_t UtcOffsetSeconds(Market market, std::int64_t unixSeconds);

// The market's wall clock at a moment.
MarketTime MarketClock(Market market, std::int64_t unixSeconds);
// Shanghai's, which the A-shares keep.
MarketTime ShanghaiTime(std::int64_t unixSeconds);

// "yyyy-MM-dd", the form quotes are dated in.
std::string MarketDate(const MarketTime &time);
// "HH:mm:ss".
std::string MarketClockText(const MarketTime &time);

// Monday to Friday, both ends of each session included (the second a session closes on still
// carries its last price, so the refresh at exactly that second is the one that fetches the
// close; one second later is outside):
//   A-shares 09:15-11:30 and 13:00-15:00 Shanghai time (the opening call starts at 09:15);
//   Hong Kong 09:30-12:00 and 13:00-16:00 Hong Kong time;
//   United States 09:30-16:00 New York time.
// Holidays are not known here: see MarketWatch, which goes by the quotes' own dates.
bool InTradingHours(Market market, const MarketTime &time);
// The A-shares'.
bool InTradingHours(const MarketTime &time);

// A moment's place on the trend's day: the seconds since the day's first session opened, with
// the lunch break left out, so the afternoon goes on where the morning stopped. The trend's
// sessions are the trading hours above, except that the A-shares' begin at 09:30: the opening
// call (09:15-09:25) sets no line. Both ends of each session are included (an A-share 11:30:00
// and 13:00:00 are both 7200). Nothing outside them, nor on a Saturday or Sunday.
std::optional<int> SessionSecond(Market market, const MarketTime &time);
// The last session second of the market's day: 14400 (A-shares), 19800 (Hong Kong), 23400
// (United States).
int SessionLength(Market market);

// The Unix seconds of a quote's own date and time ("yyyy-MM-dd", "HH:mm:ss" or "HH:mm") on
// the market's wall clock; nothing for a date or time not written that way.
std::optional<std::int64_t> MarketUnixSeconds(Market market, std::string_view date,
                                              std::string_view time);
// On the Shanghai wall clock.
std::optional<std::int64_t> ShanghaiUnixSeconds(std::string_view date, std::string_view time);

} // namespace velmora
