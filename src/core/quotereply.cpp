#include "core/quotereply.h"

#include <array>

namespace velmora {

namespace {

std::string withoutQuotes(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (char c : field) {
        if (c != '\'')
            out.push_back(c);
    }
    return out;
}

} // namespace

QuoteReply ParseQuoteReply(std::string_view reply)
{
    QuoteReply out;
    if (reply.empty())
        return out;

    struct Wanted
    {
        std::size_t number;
        std::optional<std::string> QuoteReply::*member;
    };
    static constexpr std::array<Wanted, 5> kWanted = {{{2, &QuoteReply::name},
                                                      {3, &QuoteReply::price},
                                                      {4, &QuoteReply::change},
                                                      {11, &QuoteReply::high},
                                                      {12, &QuoteReply::low}}};
    std::size_t number = 0;
    std::size_t start = 0;
    std::size_t next = 0; // index into kWanted
    while (next < kWanted.size()) {
        const std::size_t comma = reply.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? reply.size() : comma;
        if (number == kWanted[next].number) {
            out.*kWanted[next].member = withoutQuotes(reply.substr(start, end - start));
            ++next;
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
        ++number;
    }
    return out;
}

bool IsFall(std::string_view change)
{
    return !change.empty() && change.front() == '-';
}

Quote QuoteFromReply(const QuoteReply &reply)
{
    Quote quote;
    quote.name = reply.name.value_or(std::string());
    quote.price = reply.price.value_or(std::string());
    quote.high = reply.high.value_or(std::string());
    quote.low = reply.low.value_or(std::string());
    quote.change = reply.change.value_or(std::string());
    quote.hasName = reply.name.has_value();
    quote.hasPrice = reply.price.has_value();
    quote.currency = CurrencyCode(Market::AShare); // the custom service quotes A-shares
    return quote;
}

} // namespace velmora
