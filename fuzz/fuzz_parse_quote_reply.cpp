// Feeds arbitrary bytes to ParseQuoteReply and checks its promises against a plain count of
// the commas: a member is there exactly when the reply has a field with its number, it is that
// field minus every single quote, and it never holds a comma or a quote. Parsing cannot fail,
// whatever the bytes (invalid UTF-8, NULs, line breaks, a million commas).

#include "fuzzcheck.h"
#include "core/quotereply.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

using namespace velmora;

namespace {

#define CHECK(cond) FUZZ_CHECK("quote reply", cond)

// Field `number` of the reply, raw, or nothing when the reply is too short for it.
std::optional<std::string_view> rawField(std::string_view reply, std::size_t number)
{
    if (reply.empty())
        return std::nullopt;
    std::size_t start = 0;
    for (std::size_t i = 0; i < number; ++i) {
        const std::size_t comma = reply.find(',', start);
        if (comma == std::string_view::npos)
            return std::nullopt;
        start = comma + 1;
    }
    const std::size_t end = reply.find(',', start);
    return reply.substr(start, end == std::string_view::npos ? end : end - start);
}

void checkMember(const std::optional<std::string> &member, std::string_view reply,
                 std::size_t number, std::size_t fields)
{
    const auto raw = rawField(reply, number);
    CHECK(member.has_value() == (number < fields));
    CHECK(member.has_value() == raw.has_value());
    if (!member)
        return;
    CHECK(member->find('\'') == std::string::npos);
    CHECK(member->find(',') == std::string::npos);
    // The member is the raw field with its quotes taken out and nothing else changed: walking
    // the raw field and skipping quotes must spell the member exactly.
    std::size_t at = 0;
    for (char c : *raw) {
        if (c == '\'')
            continue;
        CHECK(at < member->size() && (*member)[at] == c);
        ++at;
    }
    CHECK(at == member->size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view reply(reinterpret_cast<const char *>(data), size);
    const QuoteReply parsed = ParseQuoteReply(reply);

    std::size_t fields = 0;
    if (!reply.empty()) {
        fields = 1;
        for (char c : reply)
            fields += c == ',';
    }
    checkMember(parsed.name, reply, 2, fields);
    checkMember(parsed.price, reply, 3, fields);
    checkMember(parsed.change, reply, 4, fields);
    checkMember(parsed.high, reply, 11, fields);
    checkMember(parsed.low, reply, 12, fields);

    // A fall is a change that begins with "-", and only that.
    if (parsed.change)
        CHECK(IsFall(*parsed.change) == (!parsed.change->empty() && parsed.change->front() == '-'));

    // Fields beyond 12 are never looked at: appending one changes nothing.
    if (fields > 12)
        CHECK(ParseQuoteReply(std::string(reply) + ",'x'") == parsed);
    CHECK(ParseQuoteReply(reply) == parsed);
    return 0;
}
