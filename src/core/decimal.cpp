#include "core/decimal.h"

#include <charconv>
#include <cmath>

namespace velmora {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<double> ParseDecimal(std::string_view text)
{
    text = TrimBlanks(text);
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-')
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0 || i != text.size())
        return std::nullopt;
    double value = 0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FormatDecimal(double value)
{
    if (value == 0)
        return "0"; // also for -0
    char buffer[400]; // plain notation of the largest and smallest doubles fits
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (ec != std::errc())
        return {};
    std::string text(buffer, end);
    if (text.find('e') == std::string::npos)
        return text; // general format already drops trailing zeros and a bare point
    // Very large and very small values: the grammar above has no exponent, so the text the
    // program writes must not have one either. The value rounded to 15 digits is written in
    // plain notation, with the shortest digits that read back as that value.
    double rounded = 0;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    const auto [plainEnd, plainEc] =
        std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed);
    if (plainEc != std::errc())
        return {};
    return std::string(buffer, plainEnd);
}

} // namespace velmora
