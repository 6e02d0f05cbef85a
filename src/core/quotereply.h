#pragma once

#include "core/quote.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The five figures read from one quote reply. Each is the field's text with every single quote
// removed, or absent when the reply has no field with that number. Nothing is converted to a
// number: callers show and compare the texts as they come.
struct QuoteReply
{
    std::optional<std::string> name;   // field 2
    std::optional<std::string> price;  // field 3
    std::optional<std::string> change; // field 4, a percentage
    std::optional<std::string> high;   // field 11
    std::optional<std::string> low;    // field 12

    bool operator==(const QuoteReply &) const = default;
};

// Cuts the reply at every comma (quotes give no protection: a comma inside a quoted value cuts
// it too) and keeps fields 2, 3, 4, 11 and 12. Blanks, line breaks and percent signs stay as
// they are. Never fails: an empty or short reply just leaves members absent. The text is UTF-8;
// the comma and the quote are single bytes that never occur inside a multi-byte character.
QuoteReply ParseQuoteReply(std::string_view reply);

// The one quote value a reply of the custom service makes: absent fields read as empty, with
// hasName and hasPrice saying whether they were there at all.
Quote QuoteFromReply(const QuoteReply &reply);

// A change that begins with "-" is a fall; anything else is not, the empty change included, and
// so are a leading blank, a plus sign or a full-width minus.
bool IsFall(std::string_view change);

} // namespace velmora
