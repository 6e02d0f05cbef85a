// The trend line as painted into a cell: red ink above the reference, blue below, the day across
// the whole width.
#include "core/trendseries.h"
#include "ui/trendpaint.h"

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace velmora;

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 20;
constexpr int kReferenceRow = kHeight / 2;

// Offsets in percent, spread evenly over seconds first..last of an A-share day.
TrendSeries seriesOf(const QList<double> &percents, int first = 0, int last = 14400)
{
    TrendSeries series;
    for (int i = 0; i < percents.size(); ++i) {
        const int second = first + (last - first) * i / std::max<int>(1, int(percents.size()) - 1);
        series.add(Market::AShare, "2024-06-03", second, 10 * (1 + percents[i] / 100), 10.0);
    }
    return series;
}

QImage painted(const TrendSeries &series)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintTrend(painter, image.rect(), series);
    return image;
}

// One + or 0 for each of: red above the reference row, red below it, blue above, blue below,
// ink more than 2 rows from it, ink right of 60 % of the width. The reference row itself is
// left aside, grey line and all.
QString inkOf(const QImage &image)
{
    int counts[6] = {};
    for (int y = 0; y < image.height(); ++y) {
        if (y == kReferenceRow)
            continue;
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const int below = y > kReferenceRow ? 1 : 0;
            counts[0 + below] += c.red() - std::max(c.green(), c.blue()) > 60;
            counts[2 + below] += c.blue() - std::max(c.red(), c.green()) > 60;
            const bool ink = c != QColor(Qt::white);
            counts[4] += ink && std::abs(y - kReferenceRow) > 2;
            counts[5] += ink && x > kWidth * 6 / 10;
        }
    }
    QString text;
    for (int count : counts)
        text += count > 0 ? '+' : '0';
    return text;
}

} // namespace

class TestTrendPaint : public QObject
{
    Q_OBJECT

private slots:
    void colourByReference_data();
    void colourByReference();
    void emptySeriesPaintsNothing();
};

void TestTrendPaint::colourByReference_data()
{
    QTest::addColumn<QList<double>>("percents");
    QTest::addColumn<int>("lastSecond");
    QTest::addColumn<QString>("ink"); // see inkOf
    QTest::newRow("rising all day") << QList<double>{0, 0.5, 1, 2, 1.5, 3} << 14400 << "+000++";
    QTest::newRow("falling all day") << QList<double>{0, -0.5, -1, -2, -1.5, -3} << 14400 << "000+++";
    QTest::newRow("crossing twice") << QList<double>{1, -1, 2, -2} << 14400 << "+00+++";
    QTest::newRow("a morning only") << QList<double>{0.2, 1, -1, 0.5} << 7200 << "+00++0";
    QTest::newRow("a quiet day stays near the reference") << QList<double>{0.1, -0.1, 0.1, -0.1} << 14400
                                                          << "+00+0+";
}

void TestTrendPaint::colourByReference()
{
    QFETCH(QList<double>, percents);
    QFETCH(int, lastSecond);
    QFETCH(QString, ink);
    QCOMPARE(inkOf(painted(seriesOf(percents, 0, lastSecond))), ink);
}

void TestTrendPaint::emptySeriesPaintsNothing()
{
    QImage white(kWidth, kHeight, QImage::Format_RGB32);
    white.fill(Qt::white);
    QCOMPARE(painted(TrendSeries()), white);
}

QTEST_MAIN(TestTrendPaint)
#include "test_trendpaint.moc"
