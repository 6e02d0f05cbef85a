#include "core/trayfigure.h"

#include "core/decimal.h"

namespace velmora {

namespace {

// The largest whole figure shown; larger moves are shown as it.
constexpr int kLargestFigure = 99;

// The figure of a magnitude (not below zero) behind the given sign.
TrayFigure FigureOfMagnitude(const Decimal &magnitude, char sign, bool falling)
{
    std::string digits;
    if (magnitude.rounded(1) < Decimal::whole(10))
        digits = magnitude.text(1);
    else if (magnitude.rounded(0) < Decimal::whole(kLargestFigure))
        digits = magnitude.text(0);
    else
        digits = std::to_string(kLargestFigure);
    return {sign == 0 ? digits : sign + digits, falling};
}

} // namespace

TrayFigure TrayFigureForPercent(const Decimal &percent)
{
    if (percent.isNegative())
        return FigureOfMagnitude(Decimal() - percent, '-', true);
    return FigureOfMagnitude(percent, percent.isZero() ? 0 : '+', false);
}

std::optional<TrayFigure> TrayFigureForChange(std::string_view change)
{
    change = TrimBlanks(change);
    if (!change.empty() && change.back() == '%')
        change.remove_suffix(1);
    const char sign =
        !change.empty() && (change.front() == '+' || change.front() == '-') ? change.front() : 0;
    if (sign != 0)
        change.remove_prefix(1);
    // The sign sits right against the digits: no second sign, no blank between.
    if (change.empty() || change.front() == '+' || change.front() == '-' ||
        IsBlank(change.front()) || IsBlank(change.back()))
        return std::nullopt;
    const auto magnitude = Decimal::parse(change);
    if (!magnitude)
        return std::nullopt;
    if (sign == '-')
        return FigureOfMagnitude(*magnitude, '-', true);
    return TrayFigureForPercent(*magnitude);
}

} // namespace velmora
