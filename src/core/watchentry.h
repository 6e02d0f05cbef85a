#pragma once

#include <string>
#include <vector>

namespace velmora {

// One persisted watch-list entry. Values are the raw bytes of a line: nothing is trimmed,
// validated or re-encoded on the way in or out.
struct WatchEntry
{
    std::string code;
    std::string takeProfit;
    std::string stopLoss;

    friend bool operator==(const WatchEntry &, const WatchEntry &) = default;
};

using WatchEntries = std::vector<WatchEntry>;

} // namespace velmora
