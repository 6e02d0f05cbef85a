// Feeds arbitrary bytes to BuildQuoteUrl as the stock code and checks that the address cannot
// be bent by it: after the fixed prefix comes only unreserved characters and %XX escapes (no
// blank, line break, '#', '&', '/' or byte above 0x7E that could end the query or the request
// line), decoding the escapes gives back the code byte for byte, and a code made of unreserved
// characters only (six digits, say) goes out unchanged.

#include "fuzzcheck.h"
#include "core/quoteaddress.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace velmora;

namespace {

#define CHECK(cond) FUZZ_CHECK("quote address", cond)

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1; // lower-case hex is not what we write
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view code(reinterpret_cast<const char *>(data), size);
    const std::string_view base = "http://127.0.0.1:8080";
    const std::string url = BuildQuoteUrl(base, code);

    const std::string_view prefix = "http://127.0.0.1:8080/msq?cn_";
    CHECK(url.size() >= prefix.size());
    CHECK(std::string_view(url).substr(0, prefix.size()) == prefix);
    const std::string_view query = std::string_view(url).substr(prefix.size());

    std::string decoded;
    bool onlyUnreserved = true;
    for (std::size_t i = 0; i < query.size(); ++i) {
        const auto c = static_cast<unsigned char>(query[i]);
        if (isUnreserved(c)) {
            decoded.push_back(static_cast<char>(c));
            continue;
        }
        CHECK(c == '%');
        onlyUnreserved = false;
        CHECK(i + 2 < query.size());
        const int high = hexValue(query[i + 1]);
        const int low = hexValue(query[i + 2]);
        CHECK(high >= 0 && low >= 0);
        const auto byte = static_cast<unsigned char>(high * 16 + low);
        // An escape is only ever used where the byte itself could not stand.
        CHECK(!isUnreserved(byte));
        decoded.push_back(static_cast<char>(byte));
        i += 2;
    }
    CHECK(decoded == code);
    if (onlyUnreserved)
        CHECK(query == code);
    CHECK(PercentEncodeCode(code) == query);
    return 0;
}
