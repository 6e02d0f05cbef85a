#include "core/quoteaddress.h"

namespace velmora {

namespace {

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

} // namespace

std::string PercentEncodeCode(std::string_view code)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(code.size());
    for (char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (isUnreserved(byte)) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

std::string BuildQuoteUrl(std::string_view base, std::string_view code)
{
    std::string url(base);
    url += "/msq?cn_";
    url += PercentEncodeCode(code);
    return url;
}

} // namespace velmora
