#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The blanks the number grammar allows around a number: space and tab.
bool IsBlank(char c);
// text without the blanks at either end.
std::string_view TrimBlanks(std::string_view text);

// The one number grammar of the program: optional blanks (space, tab) around, an optional
// "-", digits with an optional point and digits (".5" and "5." included). No "+", exponent,
// hex, inf or nan. Read with from_chars, so the process locale (a decimal comma, say) plays no
// part.
std::optional<double> ParseDecimal(std::string_view text);

// At most 15 significant digits, a point as separator, trailing zeros and a bare point dropped:
// 10.50 -> "10.5", 105.0 -> "105", 0.0 -> "0".
std::string FormatDecimal(double value);

} // namespace velmora
