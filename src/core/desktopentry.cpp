#include "core/desktopentry.h"

namespace velmora {

namespace {

bool isReserved(char c)
{
    switch (c) {
    case ' ': case '\t': case '\n': case '"': case '\'': case '\\': case '>': case '<':
    case '~': case '|': case '&': case ';': case '$': case '*': case '?': case '#':
    case '(': case ')': case '`':
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<std::string> DesktopExecArgument(std::string_view argument)
{
    bool needsQuotes = argument.empty();
    for (char c : argument)
        needsQuotes = needsQuotes || isReserved(c);

    // Layer 1: the Exec quoting, inside double quotes only these four take a backslash.
    std::string quoted;
    if (needsQuotes) {
        quoted += '"';
        for (char c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        quoted += '"';
    } else {
        quoted = argument;
    }

    // Layer 2: field codes. Layer 3: the escapes every string value goes through, undone by a
    // reader before the quoting, hence applied last.
    std::string out;
    out.reserve(quoted.size() + 8);
    for (char c : quoted) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '%': out += "%%"; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (byte < 0x20 || byte == 0x7f)
                return std::nullopt;
            out += c;
        }
    }
    return out;
}

std::optional<std::string> AutostartEntryText(std::string_view executablePath,
                                              const std::vector<std::string> &arguments)
{
    auto exec = DesktopExecArgument(executablePath);
    if (!exec)
        return std::nullopt;
    for (const std::string &argument : arguments) {
        const auto written = DesktopExecArgument(argument);
        if (!written)
            return std::nullopt;
        *exec += ' ' + *written;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.5\n"
           "Name=Velmora\n"
           "Comment=自选股行情与预警，常驻系统托盘\n"
           "Exec=" + *exec + "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

} // namespace velmora
