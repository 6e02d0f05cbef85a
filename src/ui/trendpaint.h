#pragma once

class QPainter;
class QRect;

namespace velmora {

class TrendSeries;

// A row's day as a small line in rect: the whole trading day across (the lunch break left out,
// so a morning alone fills the left of it), the reference as a thin grey line across the middle,
// the price line red above it and blue below, changing colour where it crosses. The height is
// shared evenly above and below the reference and scaled to the day's largest move, at least
// ±0.5 % so that a quiet day stays flat. Many points to a pixel column are drawn as that
// column's first, lowest, highest and last, so the cost is one pass over the points. Nothing is
// drawn for an empty series. The painter is left as it was.
void PaintTrend(QPainter &painter, const QRect &rect, const TrendSeries &series);

} // namespace velmora
