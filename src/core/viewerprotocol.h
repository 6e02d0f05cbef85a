#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The lines the program and its chart viewer process exchange over their local socket, one
// message per line:
//   to the viewer:   "show", "navigate <url>", "hide" and "unhide" (discreet mode: out of sight,
//                    then back only when it was showing)
//   from the viewer: "loaded <url>", "failed <url>" (the page finished loading, or did not)
// Only http and https addresses travel, and never one with a blank or a control character in
// it, so a line can carry nothing but the one address.
struct ViewerMessage
{
    enum class Kind { Invalid, Show, Navigate, Loaded, Failed, Hide, Unhide };
    Kind kind = Kind::Invalid;
    std::string url;

    friend bool operator==(const ViewerMessage &, const ViewerMessage &) = default;
};

// The line for a message, with its "\n"; nothing when the address may not travel.
std::optional<std::string> FormatViewerMessage(const ViewerMessage &message);

// One received line (with or without its line end); Invalid for anything else.
ViewerMessage ParseViewerMessage(std::string_view line);

// The longest line either side reads before it gives up on the peer.
inline constexpr std::size_t kMaxViewerLineBytes = 16 * 1024;

} // namespace velmora
