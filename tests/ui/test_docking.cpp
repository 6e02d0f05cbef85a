#include "platform/screenmetrics.h"
#include "ui/docking.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace velmora;

namespace {

int screenWidth()
{
    return QGuiApplication::primaryScreen()->geometry().width();
}

// Below every window of the table.
QPoint farAway()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return {screen.width() / 2, screen.height() - 5};
}

} // namespace

// Docking on a real window: the pointer and the frame are read from the window system, twips
// are converted to whole pixels, and only a shown, normal window is moved.
class TestDocking : public QObject
{
    Q_OBJECT

private slots:
    void tick_data();
    void tick();
    void itsOwnTimerDocks();
};

void TestDocking::tick_data()
{
    QTest::addColumn<QPoint>("framePos");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QPoint>("pointer");   // on the screen; null: far away
    QTest::addColumn<QString>("expected"); // which edge of the frame ends where

    QTest::newRow("near the top, pointer away: tucks up")
        << QPoint(300, 3) << "normal" << QPoint() << "bottom at sliver";
    QTest::newRow("near the left, pointer away: tucks left")
        << QPoint(2, 300) << "normal" << QPoint() << "right at sliver";
    QTest::newRow("at the right edge, pointer away: tucks right")
        << QPoint(-1, 300) << "normal" << QPoint() << "left at screen minus sliver";
    QTest::newRow("free, pointer away: stays")
        << QPoint(300, 300) << "normal" << QPoint() << "unchanged";
    QTest::newRow("tucked up, pointer in the sliver: back just past the edge")
        << QPoint(300, -1000) << "normal" << QPoint(350, 1) << "top past the edge";
    QTest::newRow("near the top but minimised: stays")
        << QPoint(300, 3) << "minimised" << QPoint() << "unchanged";
    QTest::newRow("near the top but hidden: stays")
        << QPoint(300, 3) << "hidden" << QPoint() << "unchanged";
    QTest::newRow("near the top but maximised: stays")
        << QPoint(300, 3) << "maximised" << QPoint() << "unchanged";
}

void TestDocking::tick()
{
    QFETCH(QPoint, framePos);
    QFETCH(QString, state);
    QFETCH(QPoint, pointer);
    QFETCH(QString, expected);

    QWidget window;
    window.resize(452, 249);
    Docking docking(&window); // its timer not started: the test ticks by hand
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QPoint pos = framePos;
    if (pos.x() < 0) // flush with the right edge of the screen
        pos.setX(screenWidth() - window.frameGeometry().width());
    if (pos.y() == -1000) // tucked up, as a tick would have left it
        pos.setY(TwipsToPixels(40 - PixelsToTwips(window.frameGeometry().height())));
    window.move(pos);
    QTRY_COMPARE(window.frameGeometry().topLeft(), pos);
    if (state == QLatin1String("minimised"))
        window.showMinimized();
    else if (state == QLatin1String("hidden"))
        window.hide();
    else if (state == QLatin1String("maximised"))
        window.showMaximized();
    QCoreApplication::processEvents();
    const QRect before = window.frameGeometry();

    QCursor::setPos(pointer.isNull() ? farAway() : pointer);
    docking.tick();
    QTest::qWait(50);
    const QRect after = window.frameGeometry();
    const int sliver = TwipsToPixels(40); // 3 pixels at 96 dots per inch

    if (expected == QLatin1String("unchanged")) {
        QCOMPARE(after, before);
    } else if (expected == QLatin1String("bottom at sliver")) {
        QCOMPARE(after.top() + after.height(), sliver);
        QCOMPARE(after.left(), before.left());
    } else if (expected == QLatin1String("right at sliver")) {
        QCOMPARE(after.left() + after.width(), sliver);
        QCOMPARE(after.top(), before.top());
    } else if (expected == QLatin1String("left at screen minus sliver")) {
        QCOMPARE(after.left(), screenWidth() - sliver);
    } else if (expected == QLatin1String("top past the edge")) {
        QCOMPARE(after.top(), TwipsToPixels(-10));
        QVERIFY(window.isVisible());
    } else {
        QFAIL("unknown expectation");
    }
    QCOMPARE(after.size(), before.size());
}

void TestDocking::itsOwnTimerDocks()
{
    QWidget window;
    window.resize(452, 249);
    Docking docking(&window);
    docking.start();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.move(200, 2);
    QCursor::setPos(farAway());
    // The timer alone does it: nobody calls the tick here.
    QTRY_COMPARE_WITH_TIMEOUT(window.frameGeometry().bottom() + 1, TwipsToPixels(40), 5000);
}

QTEST_MAIN(TestDocking)
#include "test_docking.moc"
