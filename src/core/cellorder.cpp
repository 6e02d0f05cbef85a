#include "core/cellorder.h"

#include "core/decimal.h"

#include <optional>

namespace velmora {

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

std::optional<double> numberOf(std::string_view cell)
{
    while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t'))
        cell.remove_suffix(1);
    if (!cell.empty() && cell.back() == '%')
        cell.remove_suffix(1);
    return ParseDecimal(cell);
}

} // namespace

int CompareCells(CellKind kind, std::string_view a, std::string_view b)
{
    if (kind == CellKind::Number) {
        const auto x = numberOf(a);
        const auto y = numberOf(b);
        if (x && y)
            return (*x > *y) - (*x < *y);
        if (x || y)
            return x ? -1 : 1;
    }
    return sign(a.compare(b));
}

} // namespace velmora
