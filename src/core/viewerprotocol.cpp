#include "core/viewerprotocol.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

using Kind = ViewerMessage::Kind;

struct Verb
{
    Kind kind;
    std::string_view word;
    bool takesUrl;
};

constexpr std::array<Verb, 6> kVerbs{{
    {Kind::Show, "show", false},
    {Kind::Hide, "hide", false},
    {Kind::Unhide, "unhide", false},
    {Kind::Navigate, "navigate", true},
    {Kind::Loaded, "loaded", true},
    {Kind::Failed, "failed", true},
}};

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

bool mayTravel(std::string_view url)
{
    if (url.size() > kMaxViewerLineBytes - 32)
        return false;
    if (!startsWithNoCase(url, "http://") && !startsWithNoCase(url, "https://"))
        return false;
    return std::none_of(url.begin(), url.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7f;
    });
}

} // namespace

std::optional<std::string> FormatViewerMessage(const ViewerMessage &message)
{
    for (const Verb &verb : kVerbs) {
        if (verb.kind != message.kind)
            continue;
        std::string line(verb.word);
        if (verb.takesUrl) {
            if (!mayTravel(message.url))
                return std::nullopt;
            line += ' ';
            line += message.url;
        }
        line += '\n';
        return line;
    }
    return std::nullopt;
}

ViewerMessage ParseViewerMessage(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::size_t blank = line.find(' ');
    const std::string_view word = line.substr(0, blank);
    for (const Verb &verb : kVerbs) {
        if (word != verb.word)
            continue;
        if (!verb.takesUrl)
            return blank == std::string_view::npos ? ViewerMessage{verb.kind, {}} : ViewerMessage{};
        if (blank == std::string_view::npos)
            return {};
        const std::string_view url = line.substr(blank + 1);
        if (!mayTravel(url))
            return {};
        return {verb.kind, std::string(url)};
    }
    return {};
}

} // namespace velmora
