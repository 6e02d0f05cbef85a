#pragma once

#include <cstdint>

namespace velmora {

// Pixels in screen coordinates; right and bottom lie one past the last pixel of the window.
struct PixelPoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct PixelRect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

enum class WindowState { Normal = 0, Minimised = 1, Maximised = 2 };

// The main window's outer position and size in twips, single precision as the window system
// keeps them.
struct FormTwips
{
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

// The result of one docking decision: nothing, or a new Top or Left (twips), and whether the
// window is shown afterwards.
struct DockMove
{
    enum class Kind { None, SetTop, SetLeft };
    Kind kind = Kind::None;
    float value = 0;
    bool show = false;

    static DockMove none() { return {}; }
    static DockMove top(float value, bool show) { return {Kind::SetTop, value, show}; }
    static DockMove left(float value, bool show) { return {Kind::SetLeft, value, show}; }
    bool operator==(const DockMove &) const = default;
};

// Twips left on screen by a tucked-away window, at every edge.
inline constexpr float kDockSliverTwips = 40;
// How far past the edge a revealed window sits.
inline constexpr float kDockRevealTwips = 10;
// How close to the top or left edge counts as docked, in pixels; at the right edge the same
// number is compared in twips (less than one pixel).
inline constexpr std::int32_t kDockNearPixels = 4;
inline constexpr float kDockNearRightTwips = 4;

// The docking decision, twice a second: tuck the window away at the top, left or right edge while the
// pointer is outside it, bring it back while the pointer is inside it. Stateless: the position
// alone says whether the window is free, tucked away or revealed. A minimised or maximised
// window is left alone.
DockMove DecideDockMove(PixelPoint pointer, PixelRect window, WindowState state, FormTwips form,
                        float screenWidthTwips);

// A screen's place and size in pixels, in the coordinates of the whole desktop.
struct PixelScreen
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// One docking step in desktop pixels: the window's new top or left edge, and whether it is
// shown afterwards.
struct DockStep
{
    DockMove::Kind kind = DockMove::Kind::None;
    std::int32_t pixels = 0;
    bool show = false;
    bool operator==(const DockStep &) const = default;
};

// The decision for a normal window, measured against the screen that holds it: that screen's
// origin and width, not the desktop's origin and the primary screen's width, so a window on a
// second screen docks at that screen's edges and one in its middle stays put. On one screen at
// the origin this is DecideDockMove unchanged. twipsPerPixel converts between the two units.
DockStep DecideDockStep(PixelPoint pointer, PixelRect window, PixelScreen screen,
                        double twipsPerPixel);

} // namespace velmora
