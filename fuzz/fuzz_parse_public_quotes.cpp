// Feeds arbitrary bytes to both public batch parsers and checks what every quote promises:
// its symbol is a market symbol, no field holds a line break, the change, date and time are in
// the row's forms, and the prices are already trimmed. The bytes are also read as two prices
// (split at the first NUL) to drive the exact change arithmetic, where UBSan watches for an
// overflow. Parsing cannot fail, whatever the bytes.

#include "fuzzcheck.h"
#include "core/marketsymbol.h"
#include "core/publicquotes.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace velmora;

namespace {

#define CHECK(cond) FUZZ_CHECK("public quotes", cond)

bool fits(std::string_view text, std::string_view pattern)
{
    if (text.size() != pattern.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == 'd' ? !digit : text[i] != pattern[i])
            return false;
    }
    return true;
}

// "" or -?digits.dd% and never "-0.00%".
void checkChange(std::string_view change)
{
    if (change.empty())
        return;
    CHECK(change != "-0.00%");
    if (change.front() == '-')
        change.remove_prefix(1);
    CHECK(change.size() >= 5 && change.back() == '%' && change[change.size() - 4] == '.');
    for (std::size_t i = 0; i + 1 < change.size(); ++i)
        CHECK(i == change.size() - 4 || (change[i] >= '0' && change[i] <= '9'));
}

void checkQuotes(const QuotesByKey &quotes, std::string_view reply)
{
    std::size_t lines = 1;
    for (char c : reply)
        lines += c == '\n' || c == '\r';
    CHECK(quotes.size() <= lines);
    for (const auto &[symbol, q] : quotes) {
        CHECK(IsPageSymbol(symbol));
        for (const std::string *field : {&symbol, &q.name, &q.price, &q.high, &q.low, &q.change,
                                         &q.previousClose, &q.date, &q.time})
            CHECK(field->find_first_of("\r\n") == std::string::npos);
        checkChange(q.change);
        CHECK(q.date.empty() || fits(q.date, "dddd-dd-dd"));
        CHECK(q.time.empty() || fits(q.time, "dd:dd:dd"));
        for (const std::string *price : {&q.price, &q.high, &q.low, &q.previousClose})
            CHECK(TrimPrice(*price) == *price);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char *>(data), size);

    const auto tencent = ParseTencentReply(reply);
    checkQuotes(tencent, reply);
    CHECK(ParseTencentReply(reply) == tencent);

    const auto sina = ParseSinaReply(reply);
    checkQuotes(sina, reply);
    CHECK(ParseSinaReply(reply) == sina);

    const std::size_t nul = reply.find('\0');
    const std::string_view price = reply.substr(0, nul);
    const std::string_view previous =
        nul == std::string_view::npos ? std::string_view() : reply.substr(nul + 1);
    checkChange(PercentChangeFromPrices(price, previous));
    checkChange(FormatPercentChange(price));
    const std::string trimmed = TrimPrice(price);
    CHECK(TrimPrice(trimmed) == trimmed);
    return 0;
}
