#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Longest wait the doubling reaches, and the slowest refresh outside trading hours.
inline constexpr int kMaxBackoffSeconds = 300;
inline constexpr int kClosedMarketSeconds = 300;

// How long a public source that keeps failing is left alone. Times are Unix seconds passed in,
// so a test runs it on a clock of its own.
class SourceBackoff final
{
public:
    // The k-th failure in a row waits 2^k refresh intervals (2, 4, 8 ...), at most
    // kMaxBackoffSeconds; a Retry-After the source sent makes the wait at least that long,
    // beyond the cap too: the source said when it wants to be asked again.
    void failed(std::int64_t now, int intervalSeconds, std::optional<int> retryAfterSeconds);
    // One good answer ends the wait and the count.
    void succeeded();
    bool mayAsk(std::int64_t now) const { return now >= m_nextTry; }
    std::int64_t nextTry() const { return m_nextTry; }
    int failuresInARow() const { return m_failures; }

private:
    int m_failures = 0;
    std::int64_t m_nextTry = 0;
};

// Whether a public source is asked at a refresh: every time while the market trades, at most
// once per kClosedMarketSeconds while it does not (when the user keeps the slow-down on).
// The market counts as closed outside trading hours and also on a weekday the quotes show to
// be a holiday: their own date is not today's Shanghai date.
class MarketWatch final
{
public:
    // forced: the first refresh after start and the one after the list changed always ask.
    bool shouldAsk(std::int64_t now, bool forced, bool slowDownOutsideHours) const;
    void asked(std::int64_t now) { m_lastAsk = now; }
    // The date the last answer carried ("yyyy-MM-dd"); checked again at every refresh, so the
    // first answer dated today opens the market again. An empty date tells nothing.
    void sawQuoteDate(const std::string &date, std::int64_t now);
    bool marketOpen(std::int64_t now) const;

private:
    std::optional<std::int64_t> m_lastAsk;
    bool m_quotesFromAnotherDay = false;
};

// A Retry-After header value in seconds from now: delta-seconds ("120") or an HTTP date in
// IMF-fixdate form ("Sun, 06 Nov 1994 08:49:37 GMT"). A date in the past or a negative number
// gives 0; anything longer than a day counts as a day, so a mistaken far-off date cannot
// silence the list for good. Anything else: nothing.
std::optional<int> ParseRetryAfter(std::string_view headerValue, std::int64_t now);

} // namespace velmora
