#include "core/tradingclock.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>

using namespace velmora;

namespace {

// Monday 2024-06-03 09:15 in Shanghai, as Unix seconds.
constexpr qint64 kMonday0915 = 1717377300;

} // namespace

class TestTradingClock : public QObject
{
    Q_OBJECT

private slots:
    void tradingHours_data();
    void tradingHours();
    void marketHours_data();
    void marketHours();
    void newYorkOffsetMatchesTheZoneDatabase();
};

void TestTradingClock::tradingHours_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QByteArray>("date");
    QTest::addColumn<int>("weekday");
    QTest::addColumn<bool>("trading");
    const struct
    {
        const char *name;
        qint64 seconds;
        const char *date;
        int weekday;
        bool trading;
    } rows[] = {
        {"Monday 09:14:59", kMonday0915 - 1, "2024-06-03", 1, false},
        {"Monday 09:15:00", kMonday0915, "2024-06-03", 1, true},
        {"Monday 11:30:00", 1717385400, "2024-06-03", 1, true},
        {"Monday 11:30:01", 1717385401, "2024-06-03", 1, false},
        {"lunch 12:59:59", 1717390799, "2024-06-03", 1, false},
        {"Monday 13:00:00", 1717390800, "2024-06-03", 1, true},
        {"Monday 15:00:00", 1717398000, "2024-06-03", 1, true},
        {"Monday 15:00:01", 1717398001, "2024-06-03", 1, false},
        {"Friday 14:00", 1717740000, "2024-06-07", 5, true},
        {"Saturday 10:00", 1717207200, "2024-06-01", 6, false},
        {"Sunday 23:59:59, 15:59:59 UTC", 1717343999, "2024-06-02", 7, false},
        {"Monday 00:00, still Sunday in UTC", 1717344000, "2024-06-03", 1, false},
        {"before 1970", -1, "1970-01-01", 4, false},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.name) << row.seconds << QByteArray(row.date) << row.weekday
                                << row.trading;
    }
}

void TestTradingClock::tradingHours()
{
    QFETCH(qint64, seconds);
    QFETCH(QByteArray, date);
    QFETCH(int, weekday);
    QFETCH(bool, trading);
    const MarketTime time = ShanghaiTime(seconds);
    QCOMPARE(QByteArray::fromStdString(MarketDate(time)), date);
    QCOMPARE(time.weekday, weekday);
    QCOMPARE(InTradingHours(time), trading);
}

// Each market at its own hours, on its own clock.
void TestTradingClock::marketHours_data()
{
    QTest::addColumn<int>("market");
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QByteArray>("clock"); // the market's own date and time
    QTest::addColumn<bool>("trading");
    const int hk = int(Market::HongKong), us = int(Market::UnitedStates);
    const qint64 hk0930 = 1717378200;          // Monday 2024-06-03 09:30 in Hong Kong
    const qint64 ny0930Summer = 1717421400;    // Monday 2024-06-03 09:30 in New York (UTC-4)
    const qint64 ny0930Winter = 1733149800;    // Monday 2024-12-02 09:30 in New York (UTC-5)
    const qint64 springForward = 1710054000;   // Sunday 2024-03-10 07:00 UTC: 02:00 becomes 03:00
    QTest::newRow("Hong Kong 09:29:59") << hk << hk0930 - 1 << QByteArray("2024-06-03 09:29:59") << false;
    QTest::newRow("Hong Kong 09:30:00") << hk << hk0930 << QByteArray("2024-06-03 09:30:00") << true;
    QTest::newRow("Hong Kong 12:00:01") << hk << hk0930 + 9001 << QByteArray("2024-06-03 12:00:01") << false;
    QTest::newRow("Hong Kong 16:00:00") << hk << hk0930 + 23400 << QByteArray("2024-06-03 16:00:00") << true;
    QTest::newRow("Hong Kong 16:00:01") << hk << hk0930 + 23401 << QByteArray("2024-06-03 16:00:01") << false;
    QTest::newRow("New York summer 09:30") << us << ny0930Summer << QByteArray("2024-06-03 09:30:00") << true;
    QTest::newRow("New York summer 16:00:01") << us << ny0930Summer + 23401 << QByteArray("2024-06-03 16:00:01") << false;
    QTest::newRow("New York winter 09:29:59") << us << ny0930Winter - 1 << QByteArray("2024-12-02 09:29:59") << false;
    QTest::newRow("New York winter 09:30") << us << ny0930Winter << QByteArray("2024-12-02 09:30:00") << true;
    QTest::newRow("New York Saturday") << us << ny0930Summer - 2 * 86400 << QByteArray("2024-06-01 09:30:00") << false;
    QTest::newRow("the last second of winter time")
        << us << springForward - 1 << QByteArray("2024-03-10 01:59:59") << false;
    QTest::newRow("the first second of summer time")
        << us << springForward << QByteArray("2024-03-10 03:00:00") << false;
}

void TestTradingClock::marketHours()
{
    QFETCH(int, market);
    QFETCH(qint64, seconds);
    QFETCH(QByteArray, clock);
    QFETCH(bool, trading);
    const Market m = Market(market);
    const MarketTime time = MarketClock(m, seconds);
    QCOMPARE(QByteArray::fromStdString(MarketDate(time) + ' ' + MarketClockText(time)), clock);
    QCOMPARE(InTradingHours(m, time), trading);
    // And back: the market's own date and time name the same moment.
    QCOMPARE(MarketUnixSeconds(m, MarketDate(time), MarketClockText(time)).value_or(0), seconds);
}

// The New York rule worked out by hand agrees with the zone database, where there is one.
void TestTradingClock::newYorkOffsetMatchesTheZoneDatabase()
{
    const QTimeZone newYork("America/New_York");
    if (!newYork.isValid())
        QSKIP("no time-zone database here");
    for (qint64 t = 1577836800; t < 1893456000; t += 3 * 3600 + 17) { // 2020 to 2030
        const int expected = newYork.offsetFromUtc(QDateTime::fromSecsSinceEpoch(t, Qt::UTC));
        if (UtcOffsetSeconds(Market::UnitedStates, t) != expected)
            QFAIL(qPrintable(QString("offset differs at %1").arg(t)));
    }
}

QTEST_GUILESS_MAIN(TestTradingClock)
#include "test_tradingclock.moc"
