#pragma once

#include "core/rowcolour.h"
#include "core/watchentry.h"

#include <cstdint>
#include <string>

namespace velmora {

// Stays with its row for the row's whole life, so late answers find their row.
using RowId = std::uint64_t;

// One row of the list: the watch-list entry (raw bytes as stored) plus what the quote refresh
// wrote.
struct WatchRow
{
    RowId id = 0;
    WatchEntry entry;
    std::string name; // name, price, high, low, change: UTF-8
    std::string price;
    std::string high;
    std::string low;
    std::string change;
    RowColour colour = RowColour::Default;
    std::string quoteTime;       // shown in the row's tooltip
    std::string note;            // why the row has no quote, when it cannot be asked
    std::int64_t receivedAt = 0; // Unix seconds of the last quote, 0 before any
    bool stale = false;          // shown in italics
};

} // namespace velmora
