#include "core/tradingclock.h"

#include <chrono>

namespace velmora {

namespace {

constexpr std::int64_t kShanghaiOffset = 8 * 3600;
constexpr std::int64_t kDay = 86400;

std::string twoDigits(int value)
{
    return {static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

} // namespace

MarketTime ShanghaiTime(std::int64_t unixSeconds)
{
    using namespace std::chrono;
    const std::int64_t local = unixSeconds + kShanghaiOffset;
    // Floor division, so moments before 1970 fall on the day they belong to.
    std::int64_t days = local / kDay;
    std::int64_t rest = local % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
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

std::string MarketDate(const MarketTime &time)
{
    std::string year = std::to_string(time.year);
    while (year.size() < 4)
        year.insert(year.begin(), '0');
    return year + '-' + twoDigits(time.month) + '-' + twoDigits(time.day);
}

bool InTradingHours(const MarketTime &time)
{
    if (time.weekday < 1 || time.weekday > 5)
        return false;
    const int second = (time.hour * 60 + time.minute) * 60 + time.second;
    const auto at = [](int hour, int minute) { return (hour * 60 + minute) * 60; };
    return (second >= at(9, 15) && second <= at(11, 30)) ||
           (second >= at(13, 0) && second <= at(15, 0));
}

} // namespace velmora
