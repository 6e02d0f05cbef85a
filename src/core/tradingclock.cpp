#include "core/tradingclock.h"

#include <array>
#include <chrono>
#include <optional>

namespace velmora {

namespace {

constexpr std::int64_t kChinaOffset = 8 * 3600;
constexpr std::int64_t kDay = 86400;

std::string twoDigits(int value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// Days since 1970-01-01 and seconds into that day, floor-divided so that moments before 1970
// fall on the day they belong to.
std::pair<std::int64_t, std::int64_t> daysAndRest(std::int64_t local)
{
    std::int64_t days = local / kDay;
    std::int64_t rest = local % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    return {days, rest};
}

// The Unix seconds of 02:00 local standard time (UTC-5) on the n-th Sunday of a month.
std::int64_t nthSundayAtTwo(int year, unsigned month, unsigned n, std::int64_t offset)
{
    using namespace std::chrono;
    const sys_days first{std::chrono::year(year) / std::chrono::month(month) / 1};
    const unsigned toSunday = (7 - weekday(first).c_encoding()) % 7; // c_encoding: Sunday 0
    const sys_days sunday = first + std::chrono::days(toSunday + 7 * (n - 1));
    return sunday.time_since_epoch().count() * kDay + 2 * 3600 - offset;
}

int number(std::string_view text, std::size_t at, std::size_t length)
{
    int value = 0;
    for (std::size_t i = at; i < at + length; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

} // namespace

std::int64_t UtcOffsetSeconds(Market market, std::int64_t unixSeconds)
{
    if (market != Market::UnitedStates)
        return kChinaOffset;
    constexpr std::int64_t standard = -5 * 3600;
    constexpr std::int64_t daylight = -4 * 3600;
    // The year of the moment in New York; at the turn of the year daylight saving is off.
    const auto [days, rest] = daysAndRest(unixSeconds + standard);
    (void)rest;
    const int year = static_cast<int>(std::chrono::year_month_day(
                                          std::chrono::sys_days(std::chrono::days(days)))
                                          .year());
    // Begins at 02:00 standard time, ends at 02:00 daylight time (01:00 standard).
    const std::int64_t begins = nthSundayAtTwo(year, 3, 2, standard);
    const std::int64_t ends = nthSundayAtTwo(year, 11, 1, daylight);
    return unixSeconds >= begins && unixSeconds < ends ? daylight : standard;
}

MarketTime MarketClock(Market market, std::int64_t unixSeconds)
{
    using namespace std::chrono;
    const auto [days, rest] = daysAndRest(unixSeconds + UtcOffsetSeconds(market, unixSeconds));
    const sys_days date{std::chrono::days(days)};
    const year_month_day ymd(date);
    MarketTime time;
    time.year = static_cast<int>(ymd.year());
    time.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    time.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    time.hour = static_cast<int>(rest / 3600);
    time.minute = static_cast<int>(rest / 60 % 60);
    time.second = static_cast<int>(rest % 60);
    time.weekday = static_cast<int>(weekday(date).iso_encoding());
    return time;
}

MarketTime ShanghaiTime(std::int64_t unixSeconds)
{
    return MarketClock(Market::AShare, unixSeconds);
}

std::string MarketDate(const MarketTime &time)
{
    std::string year = std::to_string(time.year);
    while (year.size() < 4)
        year.insert(year.begin(), '0');
    return year + '-' + twoDigits(time.month) + '-' + twoDigits(time.day);
}

std::string MarketClockText(const MarketTime &time)
{
    return twoDigits(time.hour) + ':' + twoDigits(time.minute) + ':' + twoDigits(time.second);
}

bool InTradingHours(Market market, const MarketTime &time)
{
    if (time.weekday < 1 || time.weekday > 5)
        return false;
    const int second = (time.hour * 60 + time.minute) * 60 + time.second;
    const auto within = [second](int fromHour, int fromMinute, int toHour, int toMinute) {
        return second >= (fromHour * 60 + fromMinute) * 60 && second <= (toHour * 60 + toMinute) * 60;
    };
    switch (market) {
    case Market::AShare:
        return within(9, 15, 11, 30) || within(13, 0, 15, 0);
    case Market::HongKong:
        return within(9, 30, 12, 0) || within(13, 0, 16, 0);
    case Market::UnitedStates:
        return within(9, 30, 16, 0);
    }
    return false;
}

bool InTradingHours(const MarketTime &time)
{
    return InTradingHours(Market::AShare, time);
}

namespace {

// One session of the trend's day, in seconds since midnight on the market's clock.
struct Session
{
    int opens;
    int closes;
};

constexpr int clockSecond(int hour, int minute)
{
    return (hour * 60 + minute) * 60;
}

// The market's sessions in order; the second is empty (opens == closes == 0) for one session.
std::array<Session, 2> trendSessions(Market market)
{
    switch (market) {
    case Market::AShare:
        return {{{clockSecond(9, 30), clockSecond(11, 30)}, {clockSecond(13, 0), clockSecond(15, 0)}}};
    case Market::HongKong:
        return {{{clockSecond(9, 30), clockSecond(12, 0)}, {clockSecond(13, 0), clockSecond(16, 0)}}};
    case Market::UnitedStates:
        break;
    }
    return {{{clockSecond(9, 30), clockSecond(16, 0)}, {0, 0}}};
}

} // namespace

std::optional<int> SessionSecond(Market market, const MarketTime &time)
{
    if (time.weekday < 1 || time.weekday > 5)
        return std::nullopt;
    const int second = clockSecond(time.hour, time.minute) + time.second;
    int before = 0; // the session seconds of the sessions already over
    for (const Session &session : trendSessions(market)) {
        if (session.closes > session.opens && second >= session.opens && second <= session.closes)
            return before + second - session.opens;
        before += session.closes - session.opens;
    }
    return std::nullopt;
}

int SessionLength(Market market)
{
    int length = 0;
    for (const Session &session : trendSessions(market))
        length += session.closes - session.opens;
    return length;
}

std::optional<std::int64_t> MarketUnixSeconds(Market market, std::string_view date,
                                              std::string_view time)
{
    // "yyyy-MM-dd" and "HH:mm:ss" (or "HH:mm"), as the quotes carry them.
    const bool withSeconds = time.size() == 8 && time[5] == ':';
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' ||
        !(withSeconds || time.size() == 5) || time[2] != ':')
        return std::nullopt;
    const int y = number(date, 0, 4), mo = number(date, 5, 2), d = number(date, 8, 2);
    const int h = number(time, 0, 2), mi = number(time, 3, 2);
    const int se = withSeconds ? number(time, 6, 2) : 0;
    using namespace std::chrono;
    const year_month_day ymd{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || se < 0 || !ymd.ok() || h > 23 || mi > 59 ||
        se > 60)
        return std::nullopt;
    const std::int64_t local = sys_days(ymd).time_since_epoch().count() * kDay + h * 3600 + mi * 60 + se;
    // The offset of the moment itself: guessed from the local time taken as UTC, then checked,
    // which settles every hour but the one a clock change repeats.
    const std::int64_t guess = local - UtcOffsetSeconds(market, local);
    return local - UtcOffsetSeconds(market, guess);
}

std::optional<std::int64_t> ShanghaiUnixSeconds(std::string_view date, std::string_view time)
{
    return MarketUnixSeconds(Market::AShare, date, time);
}

} // namespace velmora
