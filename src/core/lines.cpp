#include "core/lines.h"

namespace velmora {

std::vector<std::string> SplitLines(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = ++i;
            continue;
        }
        ++i;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

bool EndsWithTerminator(std::string_view bytes)
{
    return bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
}

std::string JoinLines(const std::vector<std::string> &lines)
{
    std::string out;
    for (const auto &line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string ReplaceLine(std::string_view bytes, std::size_t index, std::string_view value)
{
    std::size_t start = 0;
    for (std::size_t line = 0; line < index; ++line) {
        const std::size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            // Fewer lines than that: the rest are added empty.
            std::string out(bytes);
            if (!EndsWithTerminator(out))
                out += "\r\n";
            const std::size_t have = line + (start < bytes.size() ? 1 : 0);
            for (std::size_t i = have; i < index; ++i)
                out += "\r\n";
            return out + std::string(value) + "\r\n";
        }
        start = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
    }
    const std::size_t end = bytes.find_first_of("\r\n", start);
    std::string out(bytes.substr(0, start));
    out += value;
    if (end == std::string_view::npos)
        out += "\r\n";
    else
        out += bytes.substr(end);
    return out;
}

} // namespace velmora
