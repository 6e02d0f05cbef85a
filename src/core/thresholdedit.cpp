#include "core/thresholdedit.h"

#include "core/decimal.h"

namespace velmora {

ThresholdEdit ReadThresholdEdit(std::string_view typed, std::string_view stored)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    std::string_view value = typed;
    while (!value.empty() && isBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isBlank(value.back()))
        value.remove_suffix(1);
    if (typed == stored || value == stored)
        return {ThresholdEdit::Outcome::Unchanged, {}};
    if (!value.empty() && !ParseDecimal(value))
        return {ThresholdEdit::Outcome::Refused, {}};
    return {ThresholdEdit::Outcome::Store, std::string(value)};
}

} // namespace velmora
