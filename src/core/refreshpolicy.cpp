#include "core/refreshpolicy.h"

#include "core/tradingclock.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace velmora {

namespace {

constexpr std::int64_t kMaxRetryAfter = 86400;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number the digits spell, or nothing when one is not a digit; stops growing past the cap.
std::optional<std::int64_t> number(std::string_view digits)
{
    if (digits.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), kMaxRetryAfter + 1);
    }
    return value;
}

int clampedDelay(std::int64_t seconds)
{
    return static_cast<int>(std::clamp<std::int64_t>(seconds, 0, kMaxRetryAfter));
}

// "Sun, 06 Nov 1994 08:49:37 GMT" in Unix seconds. The day name must be one, but is not
// checked against the date: the date is what counts.
std::optional<std::int64_t> imfFixdate(std::string_view text)
{
    static constexpr std::array<std::string_view, 7> kDays = {"Mon", "Tue", "Wed", "Thu",
                                                              "Fri", "Sat", "Sun"};
    static constexpr std::array<std::string_view, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (text.size() != 29 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
        text[16] != ' ' || text[19] != ':' || text[22] != ':' || text.substr(25) != " GMT")
        return std::nullopt;
    if (std::find(kDays.begin(), kDays.end(), text.substr(0, 3)) == kDays.end())
        return std::nullopt;
    const auto month = std::find(kMonths.begin(), kMonths.end(), text.substr(8, 3));
    const auto day = number(text.substr(5, 2));
    const auto year = number(text.substr(12, 4));
    const auto hour = number(text.substr(17, 2));
    const auto minute = number(text.substr(20, 2));
    const auto second = number(text.substr(23, 2));
    if (month == kMonths.end() || !day || !year || !hour || !minute || !second || *hour > 23 ||
        *minute > 59 || *second > 60)
        return std::nullopt;
    using namespace std::chrono;
    const auto monthNumber = static_cast<unsigned>(month - kMonths.begin() + 1);
    const year_month_day date{std::chrono::year(static_cast<int>(*year)),
                              std::chrono::month(monthNumber),
                              std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok())
        return std::nullopt;
    return sys_days(date).time_since_epoch().count() * std::int64_t{86400} + *hour * 3600 +
           *minute * 60 + *second;
}

} // namespace

void SourceBackoff::failed(std::int64_t nowMs, std::int64_t sentAtMs, int intervalSeconds,
                           std::optional<int> retryAfterSeconds)
{
    if (m_countedAtMs && sentAtMs < *m_countedAtMs)
        return; // went out before the failure already counted: the same blip
    m_countedAtMs = nowMs;
    ++m_failures;
    std::int64_t wait = std::max(intervalSeconds, 1);
    for (int k = 0; k < m_failures && wait < kMaxBackoffSeconds; ++k)
        wait *= 2;
    wait = std::min<std::int64_t>(wait, kMaxBackoffSeconds);
    if (retryAfterSeconds)
        wait = std::max<std::int64_t>(wait, *retryAfterSeconds);
    m_nextTryMs = nowMs + wait * 1000;
}

void SourceBackoff::succeeded()
{
    m_failures = 0;
    m_nextTryMs = 0;
    m_countedAtMs.reset();
}

bool MarketWatch::shouldAsk(std::int64_t wallNow, std::int64_t steadyMs, bool forced,
                            bool slowDownOutsideHours) const
{
    if (forced || !slowDownOutsideHours || marketOpen(wallNow) || !m_lastAskMs)
        return true;
    return steadyMs - *m_lastAskMs >= std::int64_t(kClosedMarketSeconds) * 1000;
}

void MarketWatch::tickBegins(std::int64_t wallNow)
{
    if (m_sawOlder && !m_sawToday)
        m_holiday = MarketDate(MarketClock(m_market, wallNow));
    m_sawToday = m_sawOlder = false;
}

void MarketWatch::sawQuote(const std::string &date, bool traded, std::int64_t wallNow)
{
    if (!traded || date.empty())
        return;
    if (date == MarketDate(MarketClock(m_market, wallNow))) {
        m_sawToday = true;
        m_holiday.clear();
    } else {
        m_sawOlder = true;
    }
}

bool MarketWatch::marketOpen(std::int64_t wallNow) const
{
    const MarketTime time = MarketClock(m_market, wallNow);
    // A holiday is known for the day it was seen on; the next day starts open again.
    return InTradingHours(m_market, time) && m_holiday != MarketDate(time);
}

std::optional<int> ParseRetryAfter(std::string_view headerValue, std::int64_t now)
{
    while (!headerValue.empty() && (headerValue.front() == ' ' || headerValue.front() == '\t'))
        headerValue.remove_prefix(1);
    while (!headerValue.empty() && (headerValue.back() == ' ' || headerValue.back() == '\t'))
        headerValue.remove_suffix(1);
    if (headerValue.starts_with('-'))
        return number(headerValue.substr(1)) ? std::optional<int>(0) : std::nullopt;
    if (const auto seconds = number(headerValue))
        return clampedDelay(*seconds);
    if (const auto when = imfFixdate(headerValue))
        return clampedDelay(*when - now);
    return std::nullopt;
}

} // namespace velmora
