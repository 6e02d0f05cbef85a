#pragma once

#include "core/exactdecimal.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The figure drawn into the tray icon: a change in percent, short enough for a 22-pixel icon.
struct TrayFigure
{
    std::string text;     // at most 4 characters, never a "%": "+1.6", "-0.4", "0.0", "+12", "-99"
    bool falling = false; // drawn in the list's blue; otherwise in its red

    bool operator==(const TrayFigure &) const = default;
};

// A percentage as its figure. Rounded half away from zero, to one decimal below 10 ("+1.6",
// "-9.9") and to a whole number from 10 up ("+10", "-12", 9.96 becoming "+10"); anything that
// rounds to 99 or more is "+99" or "-99". The sign is "+" above zero, "-" below, none at zero
// ("0.0", red like a flat row); a small move keeps its sign through the rounding ("+0.0", "-0.0").
TrayFigure TrayFigureForPercent(const Decimal &percent);

// A change as the list shows it ("1.62%", "-0.35%", "+0.62%" from the holdings), read exactly:
// blanks around, then an optional "+" or "-", a number of the program's grammar and an optional
// "%". A change written with "-" falls even when it is zero ("-0.00%" is "-0.0", blue as the
// list colours it). Nothing for an empty change or one that is no number.
std::optional<TrayFigure> TrayFigureForChange(std::string_view change);

} // namespace velmora
