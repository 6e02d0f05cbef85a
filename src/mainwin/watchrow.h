#pragma once

#include "store/watchentry.h"

#include <cstdint>
#include <string>

namespace velmora {

enum class RowColour { Default, Red, Blue };

// The row colour after a quote: blue when the change begins with "-" (a fall), red otherwise,
// the empty change included.
RowColour ColourForChange(const std::string &change);

// One row of the list: the watch-list entry (raw bytes as stored) plus what the quote refresh
// wrote. id stays with the row for its whole life, so late answers find their row.
struct WatchRow
{
    std::uint64_t id = 0;
    WatchEntry entry;
    std::string name; // sub-items 1..5, UTF-8
    std::string price;
    std::string high;
    std::string low;
    std::string change;
    RowColour colour = RowColour::Default;
};

} // namespace velmora
