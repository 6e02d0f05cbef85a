#pragma once

#include <string>

namespace velmora {

enum class RowColour { Default, Red, Blue };

// The row colour after a quote: blue when the change begins with "-" (a fall), red otherwise,
// the empty change included. A row without a quote yet keeps the list's default colour.
RowColour ColourForChange(const std::string &change);

} // namespace velmora
