#pragma once

#include "core/trayfigure.h"

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRect>

#include <optional>
#include <vector>

namespace velmora {

// The side of the tray icon in logical pixels: what the panels ask for.
inline constexpr int kTrayIconSide = 22;

// The figure's colour: the list's blue for a fall, its red otherwise.
QColor TrayFigureColour(const TrayFigure &figure);

// The figure as a whole icon: a white rounded square with a thin dark outline, so it stands out
// on light and dark panels alike, and the figure in its colour, as large as fits with a pixel of
// white (two on a dense screen) around it. Below 32 pixels the characters are drawn pixel by
// pixel, which stays sharp where a font turns to grey blurs: strokes two pixels thick when the
// figure fits so (three characters), else one. From 32 up they are bold condensed DejaVu Sans,
// narrowed a little so they can be taller. The image is logicalSize x devicePixelRatio pixels
// square and carries that ratio.
QImage DrawTrayFigure(const TrayFigure &figure, int logicalSize, qreal devicePixelRatio);

// Where DrawTrayFigure puts the ink of each character of figure.text, in order, in the image's
// pixels.
std::vector<QRect> TrayFigureGlyphBoxes(const TrayFigure &figure, int logicalSize,
                                        qreal devicePixelRatio);

// The tray's icon for a figure, drawn at 22 pixels and at twice that for dense screens. The
// last one is kept: a figure is drawn again only when its text or colour changes.
class TrayFigureIcon final
{
public:
    // The figure's icon; plain when there is no figure.
    QIcon iconFor(const std::optional<TrayFigure> &figure, const QIcon &plain);
    // How many figures have been drawn so far.
    int redraws() const { return m_redraws; }

private:
    std::optional<TrayFigure> m_figure;
    QIcon m_icon;
    int m_redraws = 0;
};

} // namespace velmora
