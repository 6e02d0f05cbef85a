#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One argument of a desktop entry's Exec line (UTF-8), written so that a desktop reads back
// exactly the bytes given: quoted when it holds a reserved character, "%" doubled, and the
// string escapes of the format applied last. Empty when the argument holds a control character
// other than tab, newline or carriage return, which the format cannot carry.
std::optional<std::string> DesktopExecArgument(std::string_view argument);

// The autostart entry that starts the executable at executablePath with the given arguments at
// login; empty when the path or an argument cannot be written into an Exec line.
std::optional<std::string> AutostartEntryText(std::string_view executablePath,
                                              const std::vector<std::string> &arguments = {});

} // namespace velmora
