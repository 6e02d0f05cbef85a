#include "core/dockmove.h"

#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::PixelPoint)
Q_DECLARE_METATYPE(velmora::PixelRect)
Q_DECLARE_METATYPE(velmora::WindowState)
Q_DECLARE_METATYPE(velmora::FormTwips)
Q_DECLARE_METATYPE(velmora::DockMove)
Q_DECLARE_METATYPE(velmora::PixelScreen)
Q_DECLARE_METATYPE(velmora::DockStep)

namespace velmora {
char *toString(const DockMove &move)
{
    const char *kind = move.kind == DockMove::Kind::SetTop    ? "Top"
                       : move.kind == DockMove::Kind::SetLeft ? "Left"
                                                              : "nothing";
    return QTest::toString(QStringLiteral("%1 = %2%3")
                               .arg(QLatin1String(kind))
                               .arg(double(move.value), 0, 'g', 12)
                               .arg(move.show ? QStringLiteral(", Show") : QString()));
}
char *toString(const DockStep &step)
{
    return toString(DockMove{step.kind, float(step.pixels), step.show});
}
} // namespace velmora

namespace {

// A 1280 x 800 screen at 15 twips per pixel and a window whose frame is 454 x 268 pixels.
constexpr float kTpp = 15;
constexpr float kScreen = 1280 * kTpp; // 19200
constexpr int kW = 454;
constexpr int kH = 268;
constexpr float kWidth = kW * kTpp;  // 6810
constexpr float kHeight = kH * kTpp; // 4020

struct Frame
{
    int x, y, w = kW, h = kH;
};

PixelRect rectOf(Frame f)
{
    return {f.x, f.y, f.x + f.w, f.y + f.h};
}

FormTwips twipsOf(Frame f)
{
    return {f.x * kTpp, f.y * kTpp, f.w * kTpp, f.h * kTpp};
}

// Pixel column or row where a window placed at the given twips ends up.
int px(float twips)
{
    return static_cast<int>(std::lround(twips / kTpp));
}

const PixelPoint kFarAway{640, 700};

} // namespace

Q_DECLARE_METATYPE(Frame)

class TestDockMove : public QObject
{
    Q_OBJECT

private slots:
    void decide_data();
    void decide();
    void onItsOwnScreen_data();
    void onItsOwnScreen();
};

void TestDockMove::decide_data()
{
    QTest::addColumn<PixelPoint>("pointer");
    QTest::addColumn<PixelRect>("window");
    QTest::addColumn<WindowState>("state");
    QTest::addColumn<FormTwips>("form");
    QTest::addColumn<float>("screenWidth");
    QTest::addColumn<DockMove>("expected");

    auto row = [](const char *name, PixelPoint pointer, Frame frame, DockMove expected,
                  WindowState state = WindowState::Normal) {
        QTest::newRow(name) << pointer << rectOf(frame) << state << twipsOf(frame) << kScreen
                            << expected;
    };
    const DockMove tuckTop = DockMove::top(40 - kHeight, false);
    const DockMove tuckLeft = DockMove::left(40 - kWidth, false);
    const DockMove tuckRight = DockMove::left(kScreen - 40, false);
    const DockMove revealTop = DockMove::top(-10, true);
    const DockMove revealLeft = DockMove::left(-10, true);
    const DockMove revealRight = DockMove::left(kScreen - kWidth + 10, true);

    // Where a tucked or revealed window sits, as the window system places it.
    const Frame tuckedTop{300, px(40 - kHeight)};
    const Frame tuckedLeft{px(40 - kWidth), 300};
    const Frame tuckedRight{px(kScreen - 40), 300};
    const Frame revealedTop{300, px(-10)};
    const Frame revealedRight{px(kScreen - kWidth + 10), 300};

    // Minimised (also the state of a window hidden in the tray) and maximised: left alone.
    row("minimised, at the top edge, pointer outside", kFarAway, {300, 0}, DockMove::none(),
        WindowState::Minimised);
    row("minimised, tucked at the top, pointer in the sliver", {400, 1}, tuckedTop,
        DockMove::none(), WindowState::Minimised);
    row("maximised, pointer outside", kFarAway, {-4, -4, 1288, 808}, DockMove::none(),
        WindowState::Maximised);

    // Tucking away at the top: rc.top <= 4 pixels.
    row("top at pixel row 3, pointer outside", kFarAway, {300, 3}, tuckTop);
    row("top at pixel row 4, pointer outside", kFarAway, {300, 4}, tuckTop);
    row("top at row 5, left at column 5, pointer outside", kFarAway, {5, 5}, DockMove::none());
    row("top above the screen, pointer outside", kFarAway, {300, -40}, tuckTop);

    // At the left: rc.left <= 4 pixels.
    row("left at pixel column 4, pointer outside", kFarAway, {4, 300}, tuckLeft);
    row("left at pixel column 0, pointer outside", kFarAway, {0, 300}, tuckLeft);
    row("top-left corner tucks upwards", kFarAway, {0, 0}, tuckTop);

    // At the right: Screen.Width - 4 twips <= Width + Left.
    auto rightShort = [](float shortBy) {
        const float left = kScreen - kWidth - shortBy;
        return std::pair{PixelRect{px(left), 300, px(left) + kW, 300 + kH},
                         FormTwips{left, 300 * kTpp, kWidth, kHeight}};
    };
    for (const auto &[name, shortBy, expected] :
         {std::tuple{"right edge 3 twips short, pointer outside", 3.0f, tuckRight},
          std::tuple{"right edge 4 twips short, pointer outside", 4.0f, tuckRight},
          std::tuple{"right edge 5 twips short, pointer outside", 5.0f, DockMove::none()}}) {
        const auto [rect, form] = rightShort(shortBy);
        QTest::newRow(name) << kFarAway << rect << WindowState::Normal << form << kScreen
                            << expected;
    }

    // The pointer is inside only strictly inside: the top row and the left column are outside,
    // as are right and bottom (one past the window).
    row("pointer on the top row counts as outside", {400, 3}, {300, 3}, tuckTop);
    row("pointer on the left column counts as outside", {2, 400}, {2, 300}, tuckLeft);
    row("pointer one past the bottom counts as outside", {400, 3 + kH}, {300, 3}, tuckTop);
    row("pointer one past the right counts as outside", {2 + kW, 400}, {2, 300}, tuckLeft);
    row("pointer on the last row and column counts as inside", {300 + kW - 1, 3 + kH - 1},
        {300, 3}, DockMove::none());
    row("pointer just inside the top-left corner", {301, 4}, {300, 3}, DockMove::none());

    // Revealing: the pointer touches the sliver of a tucked-away window.
    row("tucked at the top, pointer enters the sliver", {400, 1}, tuckedTop, revealTop);
    row("tucked at the left, pointer enters the sliver", {1, 400}, tuckedLeft, revealLeft);
    row("tucked at the right, pointer enters the sliver", {1279, 400}, tuckedRight, revealRight);
    row("tucked at the top, pointer elsewhere stays tucked", kFarAway, tuckedTop, tuckTop);
    row("tucked at the right, pointer elsewhere stays tucked", kFarAway, tuckedRight, tuckRight);

    // A revealed window stays revealed while the pointer is in it, and tucks away once it is
    // not, because it lies at or past its edge.
    row("revealed at the top, pointer inside", {400, 100}, revealedTop, revealTop);
    row("revealed at the top, pointer leaves", kFarAway, revealedTop, tuckTop);
    row("revealed at the right, pointer inside", {1200, 400}, revealedRight, revealRight);
    row("revealed at the right, pointer leaves", kFarAway, revealedRight, tuckRight);

    row("pointer inside a window past the right edge", {1200, 400}, {1000, 300}, revealRight);
    row("pointer inside a window far from any edge", {500, 400}, {300, 300}, DockMove::none());

    // Order: top before left before right, both ways.
    row("inside, above and left of the screen: the top wins", {10, 10}, {-100, -100},
        revealTop);
    row("inside, left of and wider than the screen: the left wins", {10, 400},
        {-10, 300, 1400, kH}, DockMove::left(-10, true));
    row("outside, at the top and the right: the top wins", kFarAway, {1000, 2}, tuckTop);
    row("outside, at the left and the right: the left wins", kFarAway, {2, 300, 1300, kH},
        DockMove::left(40 - 1300 * kTpp, false));

    // The sums are single precision: a right edge within a rounding step of the screen edge
    // counts as touching it.
    QTest::newRow("right edge rounds up to the screen edge, pointer inside")
        << PixelPoint{1200, 400} << PixelRect{0, 300, 1280, 300 + kH} << WindowState::Normal
        << FormTwips{0.0015f, 300 * kTpp, 19199.998046875f, kHeight} << kScreen
        << DockMove::left(kScreen - 19199.998046875f + 10, true);
    QTest::newRow("right edge rounds up to 4 twips short, pointer outside")
        << kFarAway << PixelRect{5, 300, 1285, 300 + kH} << WindowState::Normal
        << FormTwips{0.0015f, 300 * kTpp, 19195.998046875f, kHeight} << kScreen << tuckRight;
}

void TestDockMove::decide()
{
    QFETCH(PixelPoint, pointer);
    QFETCH(PixelRect, window);
    QFETCH(WindowState, state);
    QFETCH(FormTwips, form);
    QFETCH(float, screenWidth);
    QFETCH(DockMove, expected);

    QCOMPARE(DecideDockMove(pointer, window, state, form, screenWidth), expected);
}

void TestDockMove::onItsOwnScreen_data()
{
    QTest::addColumn<PixelPoint>("pointer");
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<PixelScreen>("screen");
    QTest::addColumn<DockStep>("expected");
    using Kind = DockMove::Kind;
    const PixelScreen single{0, 0, 1280, 800};
    const PixelScreen primaryRightOfOrigin{1920, 0, 1920, 1080};
    const PixelScreen secondBelowTop{1920, 200, 1280, 1024};
    const PixelPoint nowhere{100, 100};
    // 40 - 454 x 15 twips is -451.33 pixels, 40 - 268 x 15 twips is -265.33.
    QTest::newRow("one screen at the origin: tucks at the top")
        << nowhere << Frame{400, 3} << single << DockStep{Kind::SetTop, -265, false};
    QTest::newRow("one screen at the origin: nothing in the middle")
        << kFarAway << Frame{300, 300} << single << DockStep{};
    QTest::newRow("primary not at the origin: its middle stays put")
        << nowhere << Frame{2500, 300} << primaryRightOfOrigin << DockStep{};
    QTest::newRow("primary not at the origin: its left edge")
        << nowhere << Frame{1922, 300} << primaryRightOfOrigin << DockStep{Kind::SetLeft, 1469, false};
    QTest::newRow("primary not at the origin: its right edge")
        << nowhere << Frame{3840 - kW, 300} << primaryRightOfOrigin
        << DockStep{Kind::SetLeft, 3837, false};
    QTest::newRow("second screen: tucks at its own top, below the desktop's")
        << nowhere << Frame{2200, 202} << secondBelowTop << DockStep{Kind::SetTop, -65, false};
    QTest::newRow("second screen: revealed at its left edge, not pulled to the first")
        << PixelPoint{1921, 400} << Frame{1469, 300} << secondBelowTop
        << DockStep{Kind::SetLeft, 1919, true};
    QTest::newRow("second screen: its right edge, not the primary's width")
        << nowhere << Frame{3200 - kW, 500} << secondBelowTop << DockStep{Kind::SetLeft, 3197, false};
}

void TestDockMove::onItsOwnScreen()
{
    QFETCH(PixelPoint, pointer);
    QFETCH(Frame, frame);
    QFETCH(PixelScreen, screen);
    QFETCH(DockStep, expected);
    QCOMPARE(DecideDockStep(pointer, rectOf(frame), screen, kTpp), expected);
}

QTEST_APPLESS_MAIN(TestDockMove)
#include "test_dockmove.moc"
