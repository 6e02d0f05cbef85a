#include "core/alertplacement.h"

namespace velmora {

namespace {
constexpr float kGapAboveScreenBottom = 500.0f;
}

TwipsPoint AlertWindowTopLeft(float screenWidth, float screenHeight, float outerWidth,
                              float outerHeight)
{
    return {screenWidth - outerWidth, screenHeight - outerHeight - kGapAboveScreenBottom};
}

} // namespace velmora
