#include "core/dockmove.h"

#include <cmath>

namespace velmora {

DockMove DecideDockMove(PixelPoint pt, PixelRect rc, WindowState state, FormTwips form,
                        float screenWidth)
{
    if (state != WindowState::Normal)
        return DockMove::none();

    // Strict on every side: the top row and the left column of the window count as outside.
    const bool inside = rc.left < pt.x && pt.x < rc.right && rc.top < pt.y && pt.y < rc.bottom;

    // The sums are single precision on purpose: a window whose right edge is within a rounding
    // step of the screen edge docks exactly when the window system would say it touches it.
    const float rightEdge = form.width + form.left;

    if (inside) {
        if (form.top < 0)
            return DockMove::top(-kDockRevealTwips, true);
        if (form.left < 0)
            return DockMove::left(-kDockRevealTwips, true);
        if (rightEdge >= screenWidth)
            return DockMove::left(screenWidth - form.width + kDockRevealTwips, true);
        return DockMove::none();
    }

    if (rc.top <= kDockNearPixels)
        return DockMove::top(kDockSliverTwips - form.height, false);
    if (rc.left <= kDockNearPixels)
        return DockMove::left(kDockSliverTwips - form.width, false);
    const float nearRight = screenWidth - kDockNearRightTwips;
    if (nearRight <= rightEdge)
        return DockMove::left(screenWidth - kDockSliverTwips, false);
    return DockMove::none();
}

DockStep DecideDockStep(PixelPoint pointer, PixelRect window, PixelScreen screen,
                        double twipsPerPixel)
{
    const auto twips = [twipsPerPixel](std::int32_t pixels) {
        return static_cast<float>(pixels * twipsPerPixel);
    };
    const PixelPoint localPointer{pointer.x - screen.left, pointer.y - screen.top};
    const PixelRect local{window.left - screen.left, window.top - screen.top,
                          window.right - screen.left, window.bottom - screen.top};
    const FormTwips form{twips(local.left), twips(local.top), twips(local.right - local.left),
                         twips(local.bottom - local.top)};
    const DockMove move =
        DecideDockMove(localPointer, local, WindowState::Normal, form, twips(screen.width));
    if (move.kind == DockMove::Kind::None)
        return {};
    const auto pixels = static_cast<std::int32_t>(std::lround(move.value / twipsPerPixel));
    const std::int32_t origin = move.kind == DockMove::Kind::SetTop ? screen.top : screen.left;
    return {move.kind, origin + pixels, move.show};
}

} // namespace velmora
