// The figure drawn into the tray icon: its ink, character by character, in its own colour only;
// a light square with a dark outline for any panel; drawn again only when the figure changes.
// The images drawn are left in /tmp as trayfigure-<pixels>-<figure>.png to look at.
#include "ui/trayfigureicon.h"

#include <QPixmap>
#include <QTest>

#include <cmath>
#include <set>

using namespace velmora;

namespace {

bool ClearlyRed(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

bool ClearlyBlue(QRgb pixel)
{
    return qAlpha(pixel) == 255 && qBlue(pixel) > 180 && qRed(pixel) < 90 && qGreen(pixel) < 90;
}

int CountIn(const QImage &image, const QRect &box, bool (*kind)(QRgb))
{
    int count = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            count += kind(image.pixel(x, y)) ? 1 : 0;
    return count;
}

TrayFigure Figure(const QString &text)
{
    return {text.toStdString(), text.startsWith(QLatin1Char('-'))};
}

} // namespace

class TestTrayFigureIcon : public QObject
{
    Q_OBJECT

private slots:
    void inkOfEachCharacter_data();
    void inkOfEachCharacter();
    void everyDigitLooksDifferent_data();
    void everyDigitLooksDifferent();
    void legibleOnLightAndDarkPanels_data();
    void legibleOnLightAndDarkPanels();
    void drawnAgainOnlyWhenChanged_data();
    void drawnAgainOnlyWhenChanged();
};

void TestTrayFigureIcon::inkOfEachCharacter_data()
{
    QTest::addColumn<QString>("text"); // a leading "-" falls
    QTest::addColumn<qreal>("ratio");

    QTest::newRow("rise with a point, 22 pixels") << "+1.6" << qreal(1);
    QTest::newRow("rise with a point, 44 pixels") << "+1.6" << qreal(2);
    QTest::newRow("fall with a point, 22 pixels") << "-0.4" << qreal(1);
    QTest::newRow("fall with a point, 44 pixels") << "-0.4" << qreal(2);
    QTest::newRow("widest digits, 22 pixels") << "+8.8" << qreal(1);
    QTest::newRow("whole rise, 22 pixels") << "+12" << qreal(1);
    QTest::newRow("whole fall, 44 pixels") << "-99" << qreal(2);
    QTest::newRow("flat, 22 pixels") << "0.0" << qreal(1);
    QTest::newRow("flat, 44 pixels") << "0.0" << qreal(2);
    QTest::newRow("rise at 1.5 times") << "+5.3" << qreal(1.5);
}

void TestTrayFigureIcon::inkOfEachCharacter()
{
    QFETCH(QString, text);
    QFETCH(qreal, ratio);
    const TrayFigure figure = Figure(text);
    const QImage image =
        DrawTrayFigure(figure, kTrayIconSide, ratio).convertToFormat(QImage::Format_ARGB32);
    const int side = int(std::lround(kTrayIconSide * ratio));
    image.save(QStringLiteral("/tmp/trayfigure-%1-%2.png").arg(side).arg(text));
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(image.devicePixelRatio(), ratio);

    const std::vector<QRect> boxes = TrayFigureGlyphBoxes(figure, kTrayIconSide, ratio);
    QCOMPARE(qsizetype(boxes.size()), text.size());
    // Inside the outline with white around, left to right without touching.
    const int pixel = std::max(1, int(std::lround(ratio)));
    const QRect inside = image.rect().adjusted(2 * pixel, 2 * pixel, -2 * pixel, -2 * pixel);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        QVERIFY2(inside.contains(boxes[i]), qPrintable(text.mid(int(i), 1)));
        QVERIFY(i == 0 || boxes[i - 1].right() < boxes[i].left());
        QVERIFY2(CountIn(image, boxes[i], figure.falling ? ClearlyBlue : ClearlyRed) > 0,
                 qPrintable(text.mid(int(i), 1)));
    }
    QCOMPARE(CountIn(image, image.rect(), figure.falling ? ClearlyRed : ClearlyBlue), 0);
}

void TestTrayFigureIcon::everyDigitLooksDifferent_data()
{
    QTest::addColumn<qreal>("ratio");
    QTest::newRow("22 pixels") << qreal(1);
    QTest::newRow("44 pixels") << qreal(2);
}

// "+0.0", "+1.1" … "+9.9": ten different images, so no digit can pass for another.
void TestTrayFigureIcon::everyDigitLooksDifferent()
{
    QFETCH(qreal, ratio);
    std::set<QByteArray> images;
    for (int digit = 0; digit <= 9; ++digit) {
        const QImage image =
            DrawTrayFigure(Figure(QStringLiteral("+%1.%1").arg(digit)), kTrayIconSide, ratio);
        images.insert(
            QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes()));
    }
    QCOMPARE(images.size(), std::size_t(10));
}

void TestTrayFigureIcon::legibleOnLightAndDarkPanels_data()
{
    everyDigitLooksDifferent_data();
}

// A dark outline shows the square on a light panel, a light rim inside it on a dark one.
void TestTrayFigureIcon::legibleOnLightAndDarkPanels()
{
    QFETCH(qreal, ratio);
    const QImage image = DrawTrayFigure(Figure(QStringLiteral("+1.6")), kTrayIconSide, ratio)
                             .convertToFormat(QImage::Format_ARGB32);
    const int side = image.width();
    const int outline = std::max(1, int(std::lround(ratio)));
    const int last = side - 1;
    const auto dark = [](QRgb pixel) { return qAlpha(pixel) == 255 && qGray(pixel) < 96; };
    const auto light = [](QRgb pixel) { return qAlpha(pixel) == 255 && qGray(pixel) > 230; };
    for (const QPoint edge :
         {QPoint(side / 2, 0), QPoint(side / 2, last), QPoint(0, side / 2), QPoint(last, side / 2)})
        QVERIFY2(dark(image.pixel(edge)),
                 qPrintable(QStringLiteral("%1,%2").arg(edge.x()).arg(edge.y())));
    const int corner = outline + int(std::ceil(3 * ratio));
    for (int along = corner; along < side - corner; ++along) {
        for (const QPoint rim : {QPoint(along, outline), QPoint(along, last - outline),
                                 QPoint(outline, along), QPoint(last - outline, along)})
            QVERIFY2(light(image.pixel(rim)),
                     qPrintable(QStringLiteral("%1,%2").arg(rim.x()).arg(rim.y())));
    }
}

void TestTrayFigureIcon::drawnAgainOnlyWhenChanged_data()
{
    QTest::addColumn<QStringList>("figures"); // one after another; empty: no figure
    QTest::addColumn<int>("redraws");

    QTest::newRow("same figure twice") << QStringList{"+1.6", "+1.6"} << 1;
    QTest::newRow("same figure after none") << QStringList{"+1.6", "", "+1.6"} << 1;
    QTest::newRow("other colour") << QStringList{"+1.6", "-1.6"} << 2;
    QTest::newRow("other text and back") << QStringList{"+1.6", "+1.7", "+1.6"} << 3;
    QTest::newRow("no figure at all") << QStringList{"", ""} << 0;
}

void TestTrayFigureIcon::drawnAgainOnlyWhenChanged()
{
    QFETCH(QStringList, figures);
    QFETCH(int, redraws);
    QPixmap plainImage(kTrayIconSide, kTrayIconSide);
    plainImage.fill(Qt::green);
    const QIcon plain(plainImage);
    TrayFigureIcon icons;
    for (const QString &text : figures) {
        if (text.isEmpty()) {
            QCOMPARE(icons.iconFor(std::nullopt, plain).cacheKey(), plain.cacheKey());
            continue;
        }
        const QIcon icon = icons.iconFor(Figure(text), plain);
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap drawn = icon.pixmap(QSize(kTrayIconSide, kTrayIconSide), ratio);
            QCOMPARE(drawn.devicePixelRatio(), ratio);
            QCOMPARE(drawn.toImage().convertToFormat(QImage::Format_ARGB32),
                     DrawTrayFigure(Figure(text), kTrayIconSide, ratio)
                         .convertToFormat(QImage::Format_ARGB32));
        }
    }
    QCOMPARE(icons.redraws(), redraws);
}

QTEST_MAIN(TestTrayFigureIcon)
#include "test_trayfigureicon.moc"
