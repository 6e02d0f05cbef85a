#include "core/htmlcharset.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

char lower(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::size_t findNoCase(std::string_view text, std::string_view what, std::size_t from)
{
    if (what.size() > text.size())
        return std::string_view::npos;
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        if (std::equal(what.begin(), what.end(), text.begin() + static_cast<std::ptrdiff_t>(i),
                       [](char a, char b) { return lower(a) == lower(b); }))
            return i;
    }
    return std::string_view::npos;
}

// Reads the value after "charset" at pos: optional blanks, "=", optional blanks, then a token
// that may be quoted. Empty when pos is not followed by "=".
std::string charsetValueAt(std::string_view text, std::size_t pos)
{
    pos += 7; // "charset"
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos >= text.size() || text[pos] != '=')
        return {};
    ++pos;
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos < text.size() && (text[pos] == '"' || text[pos] == '\''))
        ++pos;
    std::string value;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (isBlank(c) || c == '"' || c == '\'' || c == ';' || c == '>' || c == '/' ||
            c == ',')
            break;
        value += c;
    }
    return value;
}

} // namespace

std::string CharsetFromContentType(std::string_view contentType)
{
    std::size_t from = 0;
    while (true) {
        const std::size_t at = findNoCase(contentType, "charset", from);
        if (at == std::string_view::npos)
            return {};
        // Only as a parameter, after a ";" (the media type itself never says charset).
        std::size_t before = at;
        while (before > 0 && isBlank(contentType[before - 1]))
            --before;
        if (before > 0 && contentType[before - 1] == ';') {
            std::string value = charsetValueAt(contentType, at);
            if (!value.empty())
                return value;
        }
        from = at + 1;
    }
}

std::string FindMetaCharset(std::string_view page)
{
    page = page.substr(0, std::min(page.size(), kMetaScanBytes));
    std::size_t pos = 0;
    while (pos < page.size()) {
        const std::size_t comment = page.find("<!--", pos);
        const std::size_t meta = findNoCase(page, "<meta", pos);
        if (meta == std::string_view::npos)
            return {};
        if (comment != std::string_view::npos && comment < meta) {
            // A declaration inside a comment does not count.
            const std::size_t end = page.find("-->", comment + 4);
            if (end == std::string_view::npos)
                return {};
            pos = end + 3;
            continue;
        }
        const std::size_t afterName = meta + 5;
        if (afterName < page.size() && !isBlank(page[afterName]) && page[afterName] != '/') {
            pos = afterName; // <metadata> and the like
            continue;
        }
        const std::size_t close = page.find('>', afterName);
        const std::string_view tag =
            page.substr(meta, close == std::string_view::npos ? std::string_view::npos
                                                              : close - meta);
        std::size_t from = 0;
        while (true) {
            const std::size_t at = findNoCase(tag, "charset", from);
            if (at == std::string_view::npos)
                break;
            std::string value = charsetValueAt(tag, at);
            if (!value.empty())
                return value;
            from = at + 1;
        }
        if (close == std::string_view::npos)
            return {};
        pos = close + 1;
    }
    return {};
}

} // namespace velmora
