#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// 128 bits, so that a count of shares times a price times a few thousand lots never overflows.
__extension__ typedef __int128 Int128;

// An exact decimal number: a whole number of units of 10^-scale. Money is added, subtracted and
// multiplied exactly and rounded once, where it is shown; no binary fraction ever enters.
class Decimal final
{
public:
    Decimal() = default;
    static Decimal whole(std::int64_t value) { return Decimal(value, 0); }

    // A number of the program's one grammar (optional blanks around, optional "-", digits,
    // optional point and digits), of at most 18 significant digits; nothing for anything else.
    static std::optional<Decimal> parse(std::string_view text);

    Decimal operator+(const Decimal &other) const;
    Decimal operator-(const Decimal &other) const;
    Decimal operator*(const Decimal &other) const;
    Decimal &operator+=(const Decimal &other) { return *this = *this + other; }
    // -1, 0 or 1.
    int compare(const Decimal &other) const;
    bool operator==(const Decimal &other) const { return compare(other) == 0; }
    bool operator<(const Decimal &other) const { return compare(other) < 0; }
    bool isZero() const { return m_units == 0; }
    bool isNegative() const { return m_units < 0; }
    int scale() const { return m_scale; }

    // Rounded to this many decimals, a value exactly halfway going away from zero.
    Decimal rounded(int decimals) const;
    // a / b rounded the same way to this many decimals; nothing when b is zero.
    static std::optional<Decimal> divide(const Decimal &a, const Decimal &b, int decimals);

    // Written with exactly `decimals` decimals (rounded half away from zero): "1234.50", "-0.06".
    std::string text(int decimals) const;
    // Written with as many decimals as it needs, at least `fewest` and at most `most`, rounded
    // to `most`: 7.6 -> "7.60", 0.007 -> "0.007" with fewest 2, most 4.
    std::string shortest(int fewest, int most) const;

private:
    Decimal(Int128 units, int scale) : m_units(units), m_scale(scale) {}
    Int128 at(int scale) const; // the units at a larger scale

    Int128 m_units = 0;
    int m_scale = 0;
};

} // namespace velmora
