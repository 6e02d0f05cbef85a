#include "core/thresholdedit.h"

#include "core/decimal.h"

namespace velmora {

ThresholdEdit ReadThresholdEdit(std::string_view typed, std::string_view stored)
{
    const std::string_view value = TrimBlanks(typed);
    if (typed == stored || value == stored)
        return {ThresholdEdit::Outcome::Unchanged, {}};
    if (value.empty())
        return {ThresholdEdit::Outcome::Store, {}};
    const auto number = ParseDecimal(value);
    if (!number)
        return {ThresholdEdit::Outcome::Refused, {}};
    if (*number < 0)
        return {ThresholdEdit::Outcome::Negative, {}};
    return {ThresholdEdit::Outcome::Store, std::string(value)};
}

} // namespace velmora
