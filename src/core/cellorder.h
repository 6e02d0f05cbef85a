#pragma once

#include <string_view>

namespace velmora {

enum class CellKind { Text, Number };

// How the list orders two cells of one column: less than 0 when a comes first, 0 when neither
// does (keeping ties in place is the caller's part), more than 0 when b does.
// Text compares byte by byte, which for UTF-8 is the order of the characters' code points
// (Chinese names so sort by code point, not by reading).
// Number compares values read with ParseDecimal after one trailing "%" is removed
// ("-3.00%" < "9.00%" < "12.00%", "9.98" < "10.5"); cells that are no number ("", "待命", "--")
// come after every number and among themselves as text.
int CompareCells(CellKind kind, std::string_view a, std::string_view b);

} // namespace velmora
