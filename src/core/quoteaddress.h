#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Every byte outside A-Z a-z 0-9 - . _ ~ becomes %XX (upper-case hex), so no code can end the
// query, start a fragment, break the request line or add a header. A six-digit code comes out
// unchanged. Used for every address that carries a stock code.
std::string PercentEncodeCode(std::string_view code);

// base (scheme, host, optional port, no trailing slash) + "/msq?cn_" + the encoded code.
std::string BuildQuoteUrl(std::string_view base, std::string_view code);

} // namespace velmora
