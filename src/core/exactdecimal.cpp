#include "core/exactdecimal.h"

#include "core/decimal.h"

#include <algorithm>

namespace velmora {

namespace {

constexpr int kMaxDigits = 18;

Int128 powerOfTen(int exponent)
{
    Int128 value = 1;
    for (int i = 0; i < exponent; ++i)
        value *= 10;
    return value;
}

// numerator / denominator (denominator > 0), a value exactly halfway going away from zero.
Int128 roundedQuotient(Int128 numerator, Int128 denominator)
{
    const bool negative = numerator < 0;
    const Int128 size = negative ? -numerator : numerator;
    Int128 quotient = size / denominator;
    if (2 * (size % denominator) >= denominator)
        ++quotient;
    return negative ? -quotient : quotient;
}

} // namespace

std::optional<Decimal> Decimal::parse(std::string_view text)
{
    if (!ParseDecimal(text))
        return std::nullopt;
    text = TrimBlanks(text);
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    Int128 units = 0;
    int scale = 0;
    int digits = 0;
    bool afterPoint = false;
    for (const char c : text) {
        if (c == '.') {
            afterPoint = true;
            continue;
        }
        if (units != 0 || c != '0')
            ++digits;
        if (digits > kMaxDigits)
            return std::nullopt;
        units = units * 10 + (c - '0');
        if (afterPoint)
            ++scale;
    }
    return Decimal(negative ? -units : units, scale);
}

Int128 Decimal::at(int scale) const
{
    return m_units * powerOfTen(scale - m_scale);
}

Decimal Decimal::operator+(const Decimal &other) const
{
    const int scale = std::max(m_scale, other.m_scale);
    return Decimal(at(scale) + other.at(scale), scale);
}

Decimal Decimal::operator-(const Decimal &other) const
{
    const int scale = std::max(m_scale, other.m_scale);
    return Decimal(at(scale) - other.at(scale), scale);
}

Decimal Decimal::operator*(const Decimal &other) const
{
    return Decimal(m_units * other.m_units, m_scale + other.m_scale);
}

int Decimal::compare(const Decimal &other) const
{
    const int scale = std::max(m_scale, other.m_scale);
    const Int128 a = at(scale), b = other.at(scale);
    return a < b ? -1 : a > b ? 1 : 0;
}

Decimal Decimal::rounded(int decimals) const
{
    if (decimals >= m_scale)
        return Decimal(at(decimals), decimals);
    return Decimal(roundedQuotient(m_units, powerOfTen(m_scale - decimals)), decimals);
}

std::optional<Decimal> Decimal::divide(const Decimal &a, const Decimal &b, int decimals)
{
    if (b.isZero())
        return std::nullopt;
    // a / b = (a.units / 10^a.scale) / (b.units / 10^b.scale); in units of 10^-decimals:
    // a.units * 10^(decimals + b.scale) / (b.units * 10^a.scale).
    Int128 numerator = a.m_units * powerOfTen(decimals + b.m_scale);
    Int128 denominator = b.m_units * powerOfTen(a.m_scale);
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    return Decimal(roundedQuotient(numerator, denominator), decimals);
}

std::string Decimal::text(int decimals) const
{
    const Decimal value = rounded(decimals);
    const bool negative = value.m_units < 0;
    Int128 size = negative ? -value.m_units : value.m_units;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(size % 10)));
        size /= 10;
    } while (size > 0);
    while (digits.size() <= static_cast<std::size_t>(decimals))
        digits.insert(digits.begin(), '0');
    if (decimals > 0)
        digits.insert(digits.end() - decimals, '.');
    return (negative ? "-" : "") + digits;
}

std::string Decimal::shortest(int fewest, int most) const
{
    std::string out = text(most);
    const std::size_t point = out.find('.');
    if (point == std::string::npos)
        return out;
    while (out.size() > point + 1 + static_cast<std::size_t>(fewest) && out.back() == '0')
        out.pop_back();
    if (out.back() == '.')
        out.pop_back();
    return out;
}

} // namespace velmora
