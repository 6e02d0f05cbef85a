#include "core/tradingclock.h"

#include <chrono>
#include <optional>

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

std::optional<std::int64_t> ShanghaiUnixSeconds(std::string_view date, std::string_view time)
{
    // "yyyy-MM-dd" and "HH:mm:ss", as the quotes carry them.
    const auto number = [](std::string_view text, std::size_t at, std::size_t length) -> int {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            if (i >= text.size() || text[i] < '0' || text[i] > '9')
                return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (date.size() != 10 || date[4] != '-' || date[7] != '-' || time.size() != 8 ||
        time[2] != ':' || time[5] != ':')
        return std::nullopt;
    const int y = number(date, 0, 4), mo = number(date, 5, 2), d = number(date, 8, 2);
    const int h = number(time, 0, 2), mi = number(time, 3, 2), se = number(time, 6, 2);
    using namespace std::chrono;
    const year_month_day ymd{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
    if (y < 0 || mo < 0 || d < 0 || h < 0 || mi < 0 || se < 0 || !ymd.ok() || h > 23 || mi > 59 ||
        se > 60)
        return std::nullopt;
    const std::int64_t days = sys_days(ymd).time_since_epoch().count();
    return days * kDay + h * 3600 + mi * 60 + se - kShanghaiOffset;
}

} // namespace velmora
