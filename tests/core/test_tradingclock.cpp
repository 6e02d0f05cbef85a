#include "core/tradingclock.h"

#include <QTest>

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

QTEST_GUILESS_MAIN(TestTradingClock)
#include "test_tradingclock.moc"
