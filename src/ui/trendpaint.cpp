#include "ui/trendpaint.h"

#include "core/trendseries.h"

#include <QPainter>
#include <QPen>
#include <QVarLengthArray>

#include <algorithm>

namespace velmora {

namespace {

constexpr int kLeastSpan = 50; // basis points above and below the reference: ±0.5 %

// A line given point by point and drawn in runs of one colour: red where it lies above the
// reference, blue below. A step that crosses the reference is cut where it does; a stretch
// along the reference keeps the colour of the run it continues (at the start, of what follows;
// red when nothing does).
class TwoColourLine
{
public:
    TwoColourLine(QPainter &painter, double referenceY)
        : m_painter(painter)
        , m_referenceY(referenceY)
        , m_rise(QColor(255, 0, 0), 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin)
        , m_fall(QColor(0, 0, 255), 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin)
    {}

    void to(QPointF point)
    {
        if (m_run.isEmpty()) {
            m_run.append(point);
            return;
        }
        const QPointF last = m_run.back();
        if (point == last)
            return;
        const int from = side(last.y()), onto = side(point.y());
        if (from * onto < 0) {
            const double t = (m_referenceY - last.y()) / (point.y() - last.y());
            m_run.append(QPointF(last.x() + t * (point.x() - last.x()), m_referenceY));
            m_side = from;
            drawRun();
            m_side = onto;
        } else {
            const int step = from != 0 ? from : onto;
            if (step != 0 && m_side != 0 && step != m_side)
                drawRun();
            if (step != 0)
                m_side = step;
        }
        m_run.append(point);
    }

    void finish()
    {
        if (m_run.size() == 1 && !m_drawn) { // a single point all day
            m_painter.setPen(m_side < 0 ? m_fall : m_rise);
            m_painter.drawPoint(m_run.front());
        } else {
            drawRun();
        }
    }

private:
    // 1 above the reference (y grows downwards), -1 below, 0 on it.
    int side(double y) const { return y < m_referenceY ? 1 : y > m_referenceY ? -1 : 0; }

    // Draws the run so far and keeps its last point as the start of the next.
    void drawRun()
    {
        if (m_run.size() >= 2) {
            m_painter.setPen(m_side < 0 ? m_fall : m_rise);
            m_painter.drawPolyline(m_run.constData(), int(m_run.size()));
            m_drawn = true;
        }
        const QPointF last = m_run.back();
        m_run.clear();
        m_run.append(last);
    }

    QPainter &m_painter;
    const double m_referenceY;
    const QPen m_rise;
    const QPen m_fall;
    QVarLengthArray<QPointF, 256> m_run;
    int m_side = 0; // of the run being gathered; 0 while it has kept to the reference
    bool m_drawn = false;
};

// What the points falling in one pixel column come to.
struct Column
{
    int x = -1;
    int first = 0;
    int last = 0;
    int low = 0;
    int high = 0;
    bool lowBeforeHigh = true;

    void start(int at, int offset)
    {
        x = at;
        first = last = low = high = offset;
        lowBeforeHigh = true;
    }
    void add(int offset)
    {
        last = offset;
        if (offset < low) {
            low = offset;
            lowBeforeHigh = false;
        } else if (offset > high) {
            high = offset;
            lowBeforeHigh = true;
        }
    }
};

} // namespace

void PaintTrend(QPainter &painter, const QRect &rect, const TrendSeries &series)
{
    if (series.empty() || rect.width() < 1 || rect.height() < 1)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // Pixel centres: the reference on a row of its own, the line within the rows either side.
    const double referenceY = rect.top() + rect.height() / 2 + 0.5;
    const double halfHeight = std::min(referenceY - (rect.top() + 0.5), rect.bottom() + 0.5 - referenceY);
    const double pixelsPerOffset = halfHeight / std::max(series.largestOffset(), kLeastSpan);
    const auto yOf = [&](int offset) { return referenceY - offset * pixelsPerOffset; };

    painter.setPen(QPen(QColor(160, 160, 160), 1, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(rect.left(), referenceY), QPointF(rect.left() + rect.width(), referenceY));

    TwoColourLine line(painter, referenceY);
    const auto drawColumn = [&](const Column &column) {
        const double x = rect.left() + column.x + 0.5;
        line.to(QPointF(x, yOf(column.first)));
        line.to(QPointF(x, yOf(column.lowBeforeHigh ? column.low : column.high)));
        line.to(QPointF(x, yOf(column.lowBeforeHigh ? column.high : column.low)));
        line.to(QPointF(x, yOf(column.last)));
    };
    // Second 0 to the session's length inclusive across the width.
    const long long seconds = series.sessionLength() + 1;
    Column column;
    for (int i = 0; i < series.size(); ++i) {
        const TrendPoint point = series.point(i);
        const int x = int(point.second * static_cast<long long>(rect.width()) / seconds);
        if (x == column.x) {
            column.add(point.offset);
            continue;
        }
        if (column.x >= 0)
            drawColumn(column);
        column.start(x, point.offset);
    }
    drawColumn(column);
    line.finish();
    painter.restore();
}

} // namespace velmora
