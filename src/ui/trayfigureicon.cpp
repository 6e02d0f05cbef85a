#include "ui/trayfigureicon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace velmora {

namespace {

constexpr QRgb kBackground = qRgb(255, 255, 255);
constexpr QRgb kOutline = qRgb(64, 64, 64);
constexpr qreal kCornerRadius = 3; // logical pixels
// Below this many pixels a side, fonts blur into grey; the drawn glyphs are used instead.
constexpr int kSmallestFontIcon = 32;
// How much the font is narrowed across: four characters need the width more than the height.
constexpr qreal kFontNarrowing = 0.7;

// Characters drawn pixel by pixel, all nine pixels high: the digits' full height, the signs
// and the point set in it where a font puts them.
struct PixelGlyph
{
    char character;
    std::array<std::string_view, 9> rows;
};
using PixelGlyphs = std::array<PixelGlyph, 13>;

// Upright strokes two pixels thick, the digits five wide: for figures of three characters.
constexpr PixelGlyphs kBoldGlyphs = {{
    {'0', {".XXX.", "XX.XX", "XX.XX", "XX.XX", "XX.XX", "XX.XX", "XX.XX", "XX.XX", ".XXX."}},
    {'1', {"..XX.", ".XXX.", "XXXX.", "..XX.", "..XX.", "..XX.", "..XX.", "..XX.", "..XX."}},
    {'2', {".XXX.", "XX.XX", "...XX", "...XX", "..XX.", ".XX..", "XX...", "XX...", "XXXXX"}},
    {'3', {"XXXX.", "...XX", "...XX", "...XX", ".XXX.", "...XX", "...XX", "...XX", "XXXX."}},
    {'4', {"...XX", "..XXX", ".X.XX", "XX.XX", "XX.XX", "XXXXX", "...XX", "...XX", "...XX"}},
    {'5', {"XXXXX", "XX...", "XX...", "XXXX.", "...XX", "...XX", "...XX", "XX.XX", ".XXX."}},
    {'6', {".XXX.", "XX...", "XX...", "XXXX.", "XX.XX", "XX.XX", "XX.XX", "XX.XX", ".XXX."}},
    {'7', {"XXXXX", "...XX", "...XX", "..XX.", "..XX.", ".XX..", ".XX..", ".XX..", ".XX.."}},
    {'8', {".XXX.", "XX.XX", "XX.XX", "XX.XX", ".XXX.", "XX.XX", "XX.XX", "XX.XX", ".XXX."}},
    {'9', {".XXX.", "XX.XX", "XX.XX", "XX.XX", ".XXXX", "...XX", "...XX", "...XX", ".XXX."}},
    {'+',
     {"......", "......", "..XX..", "..XX..", "XXXXXX", "XXXXXX", "..XX..", "..XX..", "......"}},
    {'-', {".....", ".....", ".....", ".....", "XXXXX", "XXXXX", ".....", ".....", "....."}},
    {'.', {"..", "..", "..", "..", "..", "..", "..", "XX", "XX"}},
}};

// Strokes one pixel thick, the digits four wide: four characters still fit 22 pixels.
constexpr PixelGlyphs kThinGlyphs = {{
    {'0', {".XX.", "X..X", "X..X", "X..X", "X..X", "X..X", "X..X", "X..X", ".XX."}},
    {'1', {"..X.", ".XX.", "X.X.", "..X.", "..X.", "..X.", "..X.", "..X.", "..X."}},
    {'2', {".XX.", "X..X", "...X", "...X", "..X.", ".X..", "X...", "X...", "XXXX"}},
    {'3', {".XX.", "X..X", "...X", "...X", ".XX.", "...X", "...X", "X..X", ".XX."}},
    {'4', {"...X", "..XX", ".X.X", "X..X", "X..X", "XXXX", "...X", "...X", "...X"}},
    {'5', {"XXXX", "X...", "X...", "XXX.", "...X", "...X", "...X", "X..X", ".XX."}},
    {'6', {".XX.", "X...", "X...", "XXX.", "X..X", "X..X", "X..X", "X..X", ".XX."}},
    {'7', {"XXXX", "...X", "...X", "..X.", "..X.", ".X..", ".X..", ".X..", ".X.."}},
    {'8', {".XX.", "X..X", "X..X", "X..X", ".XX.", "X..X", "X..X", "X..X", ".XX."}},
    {'9', {".XX.", "X..X", "X..X", "X..X", ".XXX", "...X", "...X", "...X", ".XX."}},
    {'+', {".....", ".....", "..X..", "..X..", "XXXXX", "..X..", "..X..", ".....", "....."}},
    {'-', {"....", "....", "....", "....", "XXXX", "....", "....", "....", "...."}},
    {'.', {".", ".", ".", ".", ".", ".", ".", ".", "X"}},
}};

// One character drawn on a canvas of its own: the box of its ink there, and the point it was
// set at. Smoothed edges fade out around the box; they are drawn but take no room.
struct Ink
{
    QImage canvas;
    QRect box;
    QPoint origin;

    // Where the box lies from the point the character is set at.
    QPoint offset() const { return box.topLeft() - origin; }
};

// The box of the pixels that are at least half covered, or of all that are covered at all when
// none is.
QRect InkBox(const QImage &image)
{
    QRect solid;
    QRect any;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha >= 128)
                solid |= QRect(x, y, 1, 1);
            if (alpha != 0)
                any |= QRect(x, y, 1, 1);
        }
    }
    return solid.isEmpty() ? any : solid;
}

Ink InkOf(QImage canvas, QPoint origin)
{
    const QRect box = InkBox(canvas);
    return {std::move(canvas), box, origin};
}

QImage TransparentCanvas(int width, int height)
{
    QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    return canvas;
}

// A drawn glyph, set at its top left corner; nothing for a character without one.
std::optional<Ink> PixelInk(char character, const PixelGlyphs &glyphs, QColor colour)
{
    const auto glyph = std::find_if(glyphs.begin(), glyphs.end(), [character](const PixelGlyph &g) {
        return g.character == character;
    });
    if (glyph == glyphs.end())
        return std::nullopt;
    QImage canvas = TransparentCanvas(int(glyph->rows[0].size()), int(glyph->rows.size()));
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x)
            if (glyph->rows[y][x] == 'X')
                canvas.setPixelColor(x, y, colour);
    return InkOf(std::move(canvas), QPoint(0, 0));
}

QFont FigureFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setWeight(QFont::Bold);
    font.setPixelSize(pixelSize);
    return font;
}

// A character of the font, narrowed, set on its baseline.
Ink FontInk(QChar character, const QFont &font, QColor colour)
{
    const int size = font.pixelSize();
    const QPoint origin(size / 2, size * 3 / 2);
    QImage canvas = TransparentCanvas(size * 2, size * 2);
    QPainter painter(&canvas);
    painter.setFont(font);
    painter.setPen(colour);
    painter.scale(kFontNarrowing, 1);
    painter.drawText(QPointF(origin.x() / kFontNarrowing, origin.y()), QString(character));
    painter.end();
    return InkOf(std::move(canvas), origin);
}

// The characters of a figure and the ink of a digit, by which they are placed in height.
struct FigureInks
{
    std::vector<Ink> characters;
    Ink digit;
};

std::optional<FigureInks> PixelInks(const TrayFigure &figure, const PixelGlyphs &glyphs,
                                    QColor colour)
{
    FigureInks inks;
    for (const char character : figure.text) {
        auto ink = PixelInk(character, glyphs, colour);
        if (!ink)
            return std::nullopt;
        inks.characters.push_back(std::move(*ink));
    }
    inks.digit = *PixelInk('0', glyphs, colour);
    return inks;
}

FigureInks FontInks(const TrayFigure &figure, const QFont &font, QColor colour)
{
    FigureInks inks;
    for (const QChar character : QString::fromStdString(figure.text))
        inks.characters.push_back(FontInk(character, font, colour));
    inks.digit = FontInk(QLatin1Char('0'), font, colour);
    return inks;
}

// The inks side by side, a gap apart, as one block centred in the area, a digit's ink centred
// in height. Nothing when the block does not fit the area.
std::optional<std::vector<QRect>> SetSideBySide(const FigureInks &inks, const QRect &area, int gap)
{
    int width = -gap;
    int top = inks.digit.offset().y();
    int bottom = top + inks.digit.box.height();
    for (const Ink &ink : inks.characters) {
        width += ink.box.width() + gap;
        top = std::min(top, ink.offset().y());
        bottom = std::max(bottom, ink.offset().y() + ink.box.height());
    }
    if (inks.characters.empty() || width > area.width() || bottom - top > area.height())
        return std::nullopt;
    int x = area.left() + (area.width() - width) / 2;
    const int line = std::clamp(area.top() + (area.height() - inks.digit.box.height()) / 2 -
                                    inks.digit.offset().y(),
                                area.top() - top, area.top() + area.height() - bottom);
    std::vector<QRect> boxes;
    for (const Ink &ink : inks.characters) {
        boxes.emplace_back(QPoint(x, line + ink.offset().y()), ink.box.size());
        x += ink.box.width() + gap;
    }
    return boxes;
}

// Everything the drawing needs: the square's side, its outline and the placed inks.
struct FigureLayout
{
    int side = 0;
    int outline = 1;
    std::vector<Ink> inks;
    std::vector<QRect> boxes;
};

FigureLayout LayOut(const TrayFigure &figure, int logicalSize, qreal devicePixelRatio)
{
    FigureLayout layout;
    layout.side = std::max(1, int(std::lround(logicalSize * devicePixelRatio)));
    const int pixel = std::max(1, int(std::lround(devicePixelRatio)));
    layout.outline = pixel;
    const int inset = layout.outline + pixel;
    const QRect area(inset, inset, layout.side - 2 * inset, layout.side - 2 * inset);
    const QColor colour = TrayFigureColour(figure);

    if (layout.side < kSmallestFontIcon) {
        for (const PixelGlyphs *glyphs : {&kBoldGlyphs, &kThinGlyphs}) {
            auto inks = PixelInks(figure, *glyphs, colour);
            if (auto boxes = inks ? SetSideBySide(*inks, area, 1) : std::nullopt) {
                layout.inks = std::move(inks->characters);
                layout.boxes = std::move(*boxes);
                return layout;
            }
        }
    }
    // The largest font size that fits, counting down from one whose digits are surely too tall
    // (they are about three quarters of the size).
    for (int size = area.height() * 2; size > 0; --size) {
        FigureInks inks = FontInks(figure, FigureFont(size), colour);
        if (auto boxes = SetSideBySide(inks, area, pixel)) {
            layout.inks = std::move(inks.characters);
            layout.boxes = std::move(*boxes);
            break;
        }
    }
    return layout;
}

} // namespace

QColor TrayFigureColour(const TrayFigure &figure)
{
    return figure.falling ? QColor(0, 0, 255) : QColor(255, 0, 0);
}

QImage DrawTrayFigure(const TrayFigure &figure, int logicalSize, qreal devicePixelRatio)
{
    const FigureLayout layout = LayOut(figure, logicalSize, devicePixelRatio);
    QImage image = TransparentCanvas(layout.side, layout.side);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(kOutline), layout.outline));
    painter.setBrush(QColor(kBackground));
    const qreal half = layout.outline / 2.0;
    const qreal radius = kCornerRadius * devicePixelRatio;
    painter.drawRoundedRect(
        QRectF(half, half, layout.side - layout.outline, layout.side - layout.outline), radius,
        radius);
    for (std::size_t i = 0; i < layout.inks.size(); ++i)
        painter.drawImage(layout.boxes[i].topLeft() - layout.inks[i].box.topLeft(),
                          layout.inks[i].canvas);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

std::vector<QRect> TrayFigureGlyphBoxes(const TrayFigure &figure, int logicalSize,
                                        qreal devicePixelRatio)
{
    return LayOut(figure, logicalSize, devicePixelRatio).boxes;
}

QIcon TrayFigureIcon::iconFor(const std::optional<TrayFigure> &figure, const QIcon &plain)
{
    if (!figure)
        return plain;
    if (figure != m_figure) {
        m_icon = QIcon();
        for (const qreal ratio : {1.0, 2.0})
            m_icon.addPixmap(QPixmap::fromImage(DrawTrayFigure(*figure, kTrayIconSide, ratio)));
        m_figure = figure;
        ++m_redraws;
    }
    return m_icon;
}

} // namespace velmora
