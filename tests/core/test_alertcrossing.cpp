#include "core/alertcrossing.h"
#include "core/changesteps.h"

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
    void changeStepsOncePerDay_data();
    void changeStepsOncePerDay();
    void onlyTodaysMoveCounts_data();
    void onlyTodaysMoveCounts();
};

void TestAlertCrossing::oncePerCrossing_data()
{
    QTest::addColumn<QString>("takeProfit");
    QTest::addColumn<QString>("stopLoss");
    QTest::addColumn<QString>("replies");
    QTest::addColumn<QString>("notified");
    QTest::addColumn<QString>("deadBand"); // percent of the threshold

    QTest::newRow("rising through the take-profit, then held beyond it")
        << "10.8" << "" << "10.5 10.9 11.0 11.2" << "- T - -" << "0";
    QTest::newRow("falling through the stop-loss, then held below it")
        << "" << "9" << "9.5 8.9 8.5" << "- S -" << "0";
    QTest::newRow("already beyond at the first reply") << "10.8" << "9" << "11" << "T" << "0";
    QTest::newRow("flapping around the take-profit; equal is inside")
        << "10.8" << "" << "10.9 10.7 10.9 10.8 10.81" << "T - T - T" << "0";
    QTest::newRow("flapping around the stop-loss") << "" << "9" << "8.9 9.1 8.9" << "S - S" << "0";
    QTest::newRow("both passed at once") << "9.5" << "10.5" << "10 10" << "TS -" << "0";
    QTest::newRow("empty and unusable thresholds") << "" << "现价的5%" << "100 0.01" << "- -" << "0";
    QTest::newRow("zero price neither notifies nor re-arms")
        << "10.8" << "5" << "0.00 10.9 0 10.9" << "- T - -" << "0";
    QTest::newRow("stale quote neither notifies nor re-arms")
        << "10.8" << "" << "~10.9 10.9 ~10.5 10.9" << "- T - -" << "0";
    QTest::newRow("an overtaken reply cannot re-arm")
        << "10.8" << "" << "10.9 <10.7 10.9" << "T - -" << "0";
    QTest::newRow("an overtaken reply cannot undo a re-arm")
        << "10.8" << "" << "10.9 10.7 <10.9 10.9" << "T - - T" << "0";
    QTest::newRow("an overtaken reply cannot notify") << "10.8" << "" << "10.7 <10.9" << "- -" << "0";
    QTest::newRow("asked before alerts were on") << "10.8" << "" << "^10.9 10.9" << "- T" << "0";
    QTest::newRow("a changed threshold re-arms") << "10.8" << "" << "10.9 edit 11" << "T T" << "0";
    QTest::newRow("switching alerts on re-arms every row")
        << "10.8" << "" << "10.9 off on 11" << "T T" << "0";
    QTest::newRow("nothing while alerts are off") << "10.8" << "9" << "off 10.9 8" << "- -" << "0";
    QTest::newRow("a wobble around the take-profit inside the dead band: once")
        << "10.50" << "" << "10.49 10.51 10.48 10.52 10.40 10.55" << "- T - - - T" << "0.5";
    QTest::newRow("back inside by exactly the band re-arms")
        << "10.00" << "" << "10.01 9.95 10.01 9.96 10.01" << "T - T - -" << "0.5";
    QTest::newRow("a wobble around the stop-loss") << "" << "9.00" << "8.99 9.02 8.98 9.05 8.9"
                                                  << "S - - - S" << "0.5";
}

void TestAlertCrossing::oncePerCrossing()
{
    QFETCH(QString, takeProfit);
    QFETCH(QString, stopLoss);
    QFETCH(QString, replies);
    QFETCH(QString, notified);
    QFETCH(QString, deadBand);

    constexpr std::int64_t kStaleAfter = 16000;
    AlertCrossings crossings;
    crossings.setDeadBand(*Decimal::parse(deadBand.toStdString()));
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

void TestAlertCrossing::changeStepsOncePerDay_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("changes"); // the row's change at each reply; "|" starts a new day
    QTest::addColumn<QString>("alerted");
    QTest::newRow("up a step, wobbling, and up another") << "3" << "3.1 3.5 2.5 3.2 6.2"
                                                        << "涨幅达到 3%,-,-,-,涨幅达到 6%";
    QTest::newRow("down, both ways the same day") << "3" << "-2.9 -3.0 -1 2 -6.01 3"
                                                  << "-,跌幅达到 3%,-,-,跌幅达到 6%,涨幅达到 3%";
    QTest::newRow("past several levels at once: the farthest") << "2.5" << "7.6 8"
                                                               << "涨幅达到 7.5%,-";
    QTest::newRow("a new day starts afresh") << "3" << "3.1 | 3.1" << "涨幅达到 3%,涨幅达到 3%";
    QTest::newRow("off") << "0" << "5 -5" << "-,-";
}

void TestAlertCrossing::changeStepsOncePerDay()
{
    QFETCH(QString, step);
    QFETCH(QString, changes);
    QFETCH(QString, alerted);
    ChangeSteps steps;
    steps.setStep(Decimal::parse(step.toStdString()));
    std::string day = "2026-12-07";
    QStringList got;
    for (const QString &word : changes.split(' ')) {
        if (word == "|") {
            day = "2026-12-08";
            continue;
        }
        const auto level = steps.reached(7, day, *Decimal::parse(word.toStdString()));
        got << (level ? QString::fromStdString(ChangeStepText(*level)) : QStringLiteral("-"));
    }
    QCOMPARE(got.join(','), alerted);
}

void TestAlertCrossing::onlyTodaysMoveCounts_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("counts");
    constexpr qint64 kMonday10 = 1796608800; // 2026-12-07 10:00 in Shanghai
    QTest::newRow("trading, dated today") << kMonday10 << "10.5" << "2026-12-07" << true;
    QTest::newRow("trading, no date given") << kMonday10 << "10.5" << "" << true;
    QTest::newRow("a holiday: the quote is the last day's") << kMonday10 << "10.5" << "2026-12-04" << false;
    QTest::newRow("at night") << kMonday10 + 12 * 3600 << "10.5" << "2026-12-07" << false;
    QTest::newRow("on Saturday") << kMonday10 + 5 * 86400 << "10.5" << "" << false;
    QTest::newRow("no trade") << kMonday10 << "0.00" << "2026-12-07" << false;
}

void TestAlertCrossing::onlyTodaysMoveCounts()
{
    QFETCH(qint64, now);
    QFETCH(QString, price);
    QFETCH(QString, date);
    QFETCH(bool, counts);
    Quote quote;
    quote.price = price.toStdString();
    quote.date = date.toStdString();
    QCOMPARE(TellsTodaysMove(quote, now), counts);
}

QTEST_APPLESS_MAIN(TestAlertCrossing)
#include "test_alertcrossing.moc"
