#pragma once

namespace velmora {

struct TwipsPoint
{
    float left;
    float top;
};

// Where the alert window goes when it is loaded, in twips: its right edge on the screen's right
// edge and its bottom edge 500 twips above the screen's bottom edge. screen* is the whole primary
// display (not the work area), outer* the window's size with its frame. Single precision and no
// clamping, on purpose: a window larger than the screen goes off its top or left edge.
TwipsPoint AlertWindowTopLeft(float screenWidth, float screenHeight, float outerWidth,
                              float outerHeight);

} // namespace velmora
