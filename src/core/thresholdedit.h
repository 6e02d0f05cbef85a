#pragma once

#include <string>
#include <string_view>

namespace velmora {

// What an edit of a take-profit or stop-loss cell in place comes to. The value is kept as
// typed with the blanks around it removed; it must be empty (no alert on that side) or a number
// in the program's one decimal grammar, not below zero (a negative take-profit would alert on
// every price). Unlike the add dialog, which stores whatever is typed,
// an edit is checked, since the user can see and fix it on the spot. An edit that leaves the
// text as it was writes nothing, so a stored "现价的5%" can be left alone.
struct ThresholdEdit
{
    enum class Outcome { Unchanged, Refused, Negative, Store };
    Outcome outcome = Outcome::Unchanged;
    std::string value; // what to store, for Store
};

ThresholdEdit ReadThresholdEdit(std::string_view typed, std::string_view stored);

} // namespace velmora
