#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The charset parameter of a Content-Type value ("text/html; charset=GBK" gives "GBK"), empty
// when there is none.
std::string CharsetFromContentType(std::string_view contentType);

// The charset a page declares for itself in a <meta charset=...> or
// <meta http-equiv="Content-Type" content="...; charset=..."> within its first
// kMetaScanBytes bytes; empty when it declares none there. Pages of the maker's site are
// served without a charset in the header and say GBK only here.
inline constexpr std::size_t kMetaScanBytes = 4096;
std::string FindMetaCharset(std::string_view page);

} // namespace velmora
