#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The key that switches discreet mode from anywhere on the desktop, as the config keeps it:
// modifiers and one key joined by '+', the way Qt writes key sequences ("Ctrl+Alt+H").
//
//   modifiers   Ctrl (or Control), Alt, Shift, Meta (or Super, Win), any letter case
//   keys        A-Z, 0-9, F1-F35, Space, Tab, Return, Esc, Backspace, Ins, Del, Home, End,
//               PgUp, PgDown, Left, Up, Right, Down, Print, Pause
//               (also Escape, Insert, Delete, PageUp, PageDown), any letter case
//
// Spaces around '+' are allowed. The key comes last, each modifier at most once, and at least
// one modifier is needed: a key alone would be taken from every other program.
struct Hotkey
{
    enum Modifier : unsigned
    {
        Control = 1u << 0,
        Alt = 1u << 1,
        Shift = 1u << 2,
        Super = 1u << 3
    };

    unsigned modifiers = 0;   // Modifier bits
    std::uint32_t keysym = 0; // the X keysym; letters as their lower-case keysym (h, not H)

    bool operator==(const Hotkey &) const = default;
};

std::optional<Hotkey> ParseHotkey(std::string_view text);

// The keysym of one key name from the list above ("h", " F5 "), modifiers not allowed.
std::optional<std::uint32_t> ParseKeyName(std::string_view name);

// The text Qt would write for it: modifiers in the order Ctrl, Alt, Shift, Meta, then the key
// as first named above ("Ctrl+Alt+H", "Shift+Meta+PgUp").
std::string HotkeyText(const Hotkey &hotkey);

// The modifiers as the X server's key-state bits (Control, Mod1, Shift, Mod4).
std::uint16_t XModifierMask(const Hotkey &hotkey);

} // namespace velmora
