#include "core/hotkey.h"

#include <algorithm>
#include <array>

namespace velmora {

namespace {

// X key-state bits (XCB_MOD_MASK_SHIFT, _CONTROL, _1 and _4 of xcb/xproto.h).
constexpr std::uint16_t kXShift = 1u << 0;
constexpr std::uint16_t kXControl = 1u << 2;
constexpr std::uint16_t kXMod1 = 1u << 3;
constexpr std::uint16_t kXMod4 = 1u << 6;

constexpr std::uint32_t kKeysymF1 = 0xffbe; // F2 to F35 follow it
constexpr int kLastFunctionKey = 35;

struct Named
{
    std::string_view name;
    unsigned value;
};

// Modifiers in the order of the canonical text; its first name for each is the one written.
constexpr std::array<Named, 7> kModifiers{{
    {"Ctrl", Hotkey::Control},
    {"Control", Hotkey::Control},
    {"Alt", Hotkey::Alt},
    {"Shift", Hotkey::Shift},
    {"Meta", Hotkey::Super},
    {"Super", Hotkey::Super},
    {"Win", Hotkey::Super},
}};

// Keys with names of their own, the written name first.
constexpr std::array<Named, 22> kNamedKeys{{
    {"Space", 0x0020},  {"Tab", 0xff09},       {"Return", 0xff0d}, {"Esc", 0xff1b},
    {"Escape", 0xff1b}, {"Backspace", 0xff08}, {"Ins", 0xff63},    {"Insert", 0xff63},
    {"Del", 0xffff},    {"Delete", 0xffff},    {"Home", 0xff50},   {"End", 0xff57},
    {"PgUp", 0xff55},   {"PageUp", 0xff55},    {"PgDown", 0xff56}, {"PageDown", 0xff56},
    {"Left", 0xff51},   {"Up", 0xff52},        {"Right", 0xff53},  {"Down", 0xff54},
    {"Print", 0xff61},  {"Pause", 0xff13},
}};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameWord(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<unsigned> modifierNamed(std::string_view name)
{
    for (const Named &modifier : kModifiers) {
        if (sameWord(name, modifier.name))
            return modifier.value;
    }
    return std::nullopt;
}

// F1 to F35, no leading zero.
std::optional<std::uint32_t> functionKey(std::string_view name)
{
    if (name.size() < 2 || name.size() > 3 || lower(name[0]) != 'f' || name[1] == '0')
        return std::nullopt;
    int number = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    if (number > kLastFunctionKey)
        return std::nullopt;
    return kKeysymF1 + static_cast<std::uint32_t>(number - 1);
}

} // namespace

std::optional<std::uint32_t> ParseKeyName(std::string_view name)
{
    name = trimmed(name);
    if (name.size() == 1) {
        const char c = lower(name[0]);
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            return static_cast<std::uint32_t>(c); // Latin-1 keysyms are the characters
        return std::nullopt;
    }
    if (const auto fn = functionKey(name))
        return fn;
    for (const Named &key : kNamedKeys) {
        if (sameWord(name, key.name))
            return key.value;
    }
    return std::nullopt;
}

std::optional<Hotkey> ParseHotkey(std::string_view text)
{
    Hotkey hotkey;
    for (;;) {
        const std::size_t plus = text.find('+');
        if (plus == std::string_view::npos)
            break;
        const auto modifier = modifierNamed(trimmed(text.substr(0, plus)));
        if (!modifier || (hotkey.modifiers & *modifier))
            return std::nullopt;
        hotkey.modifiers |= *modifier;
        text.remove_prefix(plus + 1);
    }
    const auto keysym = ParseKeyName(text);
    if (!keysym || hotkey.modifiers == 0)
        return std::nullopt;
    hotkey.keysym = *keysym;
    return hotkey;
}

std::string HotkeyText(const Hotkey &hotkey)
{
    std::string text;
    unsigned written = 0;
    for (const Named &modifier : kModifiers) {
        if ((hotkey.modifiers & modifier.value) && !(written & modifier.value)) {
            text.append(modifier.name).push_back('+');
            written |= modifier.value;
        }
    }
    const std::uint32_t keysym = hotkey.keysym;
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9')) {
        text.push_back(static_cast<char>(keysym >= 'a' ? keysym - 'a' + 'A' : keysym));
    } else if (keysym >= kKeysymF1 && keysym < kKeysymF1 + kLastFunctionKey) {
        text += 'F' + std::to_string(keysym - kKeysymF1 + 1);
    } else {
        const auto key = std::find_if(kNamedKeys.begin(), kNamedKeys.end(),
                                      [&](const Named &named) { return named.value == keysym; });
        if (key != kNamedKeys.end())
            text.append(key->name);
    }
    return text;
}

std::uint16_t XModifierMask(const Hotkey &hotkey)
{
    std::uint16_t mask = 0;
    if (hotkey.modifiers & Hotkey::Control)
        mask |= kXControl;
    if (hotkey.modifiers & Hotkey::Alt)
        mask |= kXMod1;
    if (hotkey.modifiers & Hotkey::Shift)
        mask |= kXShift;
    if (hotkey.modifiers & Hotkey::Super)
        mask |= kXMod4;
    return mask;
}

} // namespace velmora
