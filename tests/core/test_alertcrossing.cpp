#include "core/alertcrossing.h"

#include <QTest>

using namespace velmora;

// The replies one row gets, in arrival order, as words: "10.9" a fresh reply; "~10.9" a stale
// quote; "<10.9" a reply to a request older than the last one compared; "^10.9" a reply to a
// request sent before alerts were switched on; "edit" the thresholds changed; "off" and "on"
// the alert switch. What each reply notifies: "T" take-profit, "S" stop-loss, "-" nothing.
class TestAlertCrossing : public QObject
{
    Q_OBJECT

private slots:
    void oncePerCrossing_data();
    void oncePerCrossing();
};

void TestAlertCrossing::oncePerCrossing_data()
{
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");
    QTest::addColumn<QString>("replies");
    QTest::addColumn<QString>("notified");

    QTest::newRow("rising through the take-profit, then held beyond it")
        << "10.8" << "" << "10.5 10.9 11.0 11.2" << "- T - -";
    QTest::newRow("falling through the stop-loss, then held below it")
        << "" << "9" << "9.5 8.9 8.5" << "- S -";
    QTest::newRow("already beyond at the first reply") << "10.8" << "9" << "11" << "T";
    QTest::newRow("flapping around the take-profit; equal is inside")
        << "10.8" << "" << "10.9 10.7 10.9 10.8 10.81" << "T - T - T";
    QTest::newRow("flapping around the stop-loss") << "" << "9" << "8.9 9.1 8.9" << "S - S";
    QTest::newRow("both passed at once") << "9.5" << "10.5" << "10 10" << "TS -";
    QTest::newRow("empty and unusable thresholds") << "" << "现价的5%" << "100 0.01" << "- -";
    QTest::newRow("zero price neither notifies nor re-arms")
        << "10.8" << "5" << "0.00 10.9 0 10.9" << "- T - -";
    QTest::newRow("stale quote neither notifies nor re-arms")
        << "10.8" << "" << "~10.9 10.9 ~10.5 10.9" << "- T - -";
    QTest::newRow("an overtaken reply cannot re-arm")
        << "10.8" << "" << "10.9 <10.7 10.9" << "T - -";
    QTest::newRow("an overtaken reply cannot undo a re-arm")
        << "10.8" << "" << "10.9 10.7 <10.9 10.9" << "T - - T";
    QTest::newRow("an overtaken reply cannot notify") << "10.8" << "" << "10.7 <10.9" << "- -";
    QTest::newRow("asked before alerts were on") << "10.8" << "" << "^10.9 10.9" << "- T";
    QTest::newRow("a changed threshold re-arms") << "10.8" << "" << "10.9 edit 11" << "T T";
    QTest::newRow("switching alerts on re-arms every row")
        << "10.8" << "" << "10.9 off on 11" << "T T";
    QTest::newRow("nothing while alerts are off") << "10.8" << "9" << "off 10.9 8" << "- -";
}

void TestAlertCrossing::oncePerCrossing()
{
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);
    QFETCH(QString, replies);
    QFETCH(QString, notified);

    constexpr std::int64_t kStaleAfter = 16000;
    AlertCrossings crossings;
    std::int64_t clock = 1000;
    std::int64_t lastSent = 0;
    std::int64_t enabledAt = clock;
    crossings.enable(enabledAt);
    QStringList got;
    for (QString word : replies.split(QLatin1Char(' '))) {
        if (word == QLatin1String("edit")) {
            crossings.thresholdsChanged(7);
        } else if (word == QLatin1String("off")) {
            crossings.disable();
        } else if (word == QLatin1String("on")) {
            enabledAt = ++clock;
            crossings.enable(enabledAt);
        } else {
            AlertCrossings::Reply reply;
            reply.row = 7;
            reply.takeProfit = takeProfit.toStdString();
            reply.stopLoss = stopLoss.toStdString();
            reply.sentAtMs = ++clock;
            if (word.startsWith(QLatin1Char('~')))
                reply.ageMs = kStaleAfter + 1;
            else if (word.startsWith(QLatin1Char('<')))
                reply.sentAtMs = lastSent - 1;
            else if (word.startsWith(QLatin1Char('^')))
                reply.sentAtMs = enabledAt - 1;
            if (QStringLiteral("~<^").contains(word.front()))
                word.remove(0, 1);
            lastSent = std::max(lastSent, reply.sentAtMs);
            reply.price = word.toStdString();
            QString sides;
            for (const Alert &alert : crossings.compare(reply, kStaleAfter))
                sides += QLatin1Char(alert.kind == AlertKind::TakeProfit ? 'T' : 'S');
            got << (sides.isEmpty() ? QStringLiteral("-") : sides);
        }
    }
    QCOMPARE(got.join(QLatin1Char(' ')), notified);
}

QTEST_APPLESS_MAIN(TestAlertCrossing)
#include "test_alertcrossing.moc"
