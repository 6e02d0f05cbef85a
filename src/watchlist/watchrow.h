#pragma once

#include "core/holdings.h"
#include "core/quote.h"
#include "core/rowcolour.h"
#include "core/trendseries.h"
#include "core/watchentry.h"

#include <cstdint>
#include <string>

namespace velmora {

// Stays with its row for the row's whole life, so late answers find their row.
using RowId = std::uint64_t;

// One row of the list: the watch-list entry (raw bytes as stored) and the row's last quote as
// it came (a row without one yet holds the placeholder in its name or price).
struct WatchRow
{
    RowId id = 0;
    WatchEntry entry;
    Quote quote;
    RowColour colour = RowColour::Default;
    std::string note;            // why the row has no quote, when it cannot be asked
    std::int64_t receivedAt = 0; // Unix seconds of the last quote, 0 before any
    bool stale = false;          // its quote has grown old
    int delayMinutes = 0;        // how far its quote lay behind its market's clock when it came
    HoldingFigures holding;      // what its code's lots come to at its quote
    TrendSeries trend;           // its prices over the day, from the refreshes
};

} // namespace velmora
