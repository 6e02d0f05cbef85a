#pragma once

#include "core/market.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// Longest wait the doubling reaches, and the slowest refresh outside trading hours.
inline constexpr int kMaxBackoffSeconds = 300;
inline constexpr int kClosedMarketSeconds = 300;

// How long a public source that keeps failing is left alone. Times are passed in on a steady
// clock in milliseconds (one that never steps back when the wall clock is corrected), so a test
// runs it on a clock of its own.
class SourceBackoff final
{
public:
    // A request sent at sentAtMs failed at nowMs. The k-th failure in a row waits 2^k refresh
    // intervals (2, 4, 8 ...), at most kMaxBackoffSeconds; a Retry-After the source sent makes
    // the wait at least that long, beyond the cap too: the source said when it wants to be asked
    // again. A request that went out before the failure already counted is part of the same
    // blip (the other batches of one tick, the other poller's) and is not counted again.
    void failed(std::int64_t nowMs, std::int64_t sentAtMs, int intervalSeconds,
                std::optional<int> retryAfterSeconds);
    // One good answer ends the wait and the count.
    void succeeded();
    bool mayAsk(std::int64_t nowMs) const { return nowMs >= m_nextTryMs; }
    std::int64_t nextTryMs() const { return m_nextTryMs; }
    int failuresInARow() const { return m_failures; }

private:
    int m_failures = 0;
    std::int64_t m_nextTryMs = 0;
    std::optional<std::int64_t> m_countedAtMs;
};

// Whether a market's codes are asked at a tick: every time while it trades, at most once
// per kClosedMarketSeconds while it does not (when the user keeps the slow-down on). The market
// counts as closed outside trading hours and also on a weekday the quotes show to be a holiday:
// a tick whose traded quotes are all dated before today, with none dated today. One stale quote
// (a suspended or delisted stock keeps its last day) is that row's matter, not the market's.
// The wall clock (Unix seconds) says which day and hour it is; the last ask is kept on the
// steady clock (ms).
class MarketWatch final
{
public:
    explicit MarketWatch(Market market = Market::AShare) : m_market(market) {}

    // forced: the first tick after start and the one after the list changed always ask.
    bool shouldAsk(std::int64_t wallNow, std::int64_t steadyMs, bool forced,
                   bool slowDownOutsideHours) const;
    void asked(std::int64_t steadyMs) { m_lastAskMs = steadyMs; }
    // A new tick begins: the quotes of the one before decide whether today is a holiday.
    void tickBegins(std::int64_t wallNow);
    // One quote's own date ("yyyy-MM-dd"); one without a trade (a zero price) or without a date
    // tells nothing. A quote dated today opens the market at once.
    void sawQuote(const std::string &date, bool traded, std::int64_t wallNow);
    bool marketOpen(std::int64_t wallNow) const;

private:
    Market m_market;
    std::optional<std::int64_t> m_lastAskMs;
    std::string m_holiday; // the day the quotes showed to be a holiday, empty for none
    bool m_sawToday = false;
    bool m_sawOlder = false;
};

// A Retry-After header value in seconds from now: delta-seconds ("120") or an HTTP date in
// IMF-fixdate form ("Sun, 06 Nov 1994 08:49:37 GMT"). A date in the past or a negative number
// gives 0; anything longer than a day counts as a day, so a mistaken far-off date cannot
// silence the list for good. Anything else: nothing.
std::optional<int> ParseRetryAfter(std::string_view headerValue, std::int64_t now);

} // namespace velmora
