// A row's trend over the day: where a moment lies on the trading day, and what the series keeps
// of the quotes the refreshes bring.
#include "core/quote.h"
#include "core/tradingclock.h"
#include "core/trendseries.h"

#include <QTest>

using namespace velmora;

namespace {

constexpr qint64 kMonday1000 = 1717380000; // 2024-06-03 10:00 in Shanghai

// "date time price previous", "-" for an empty field.
Quote quoteFrom(const QString &fields)
{
    const QStringList parts = fields.split(' ');
    const auto field = [&](int i) { return parts[i] == "-" ? std::string() : parts[i].toStdString(); };
    Quote quote;
    quote.date = field(0);
    quote.time = field(1);
    quote.price = field(2);
    quote.previousClose = field(3);
    return quote;
}

// "date reference | second=price ...", prices to the cent; "empty" for no points.
QString dump(const TrendSeries &series)
{
    if (series.empty())
        return "empty";
    QString text = QString::fromStdString(series.date()) + ' ' + QString::number(series.reference(), 'f', 2) + " |";
    for (int i = 0; i < series.size(); ++i)
        text += QString(" %1=%2").arg(series.point(i).second).arg(series.price(i), 0, 'f', 2);
    return text;
}

} // namespace

class TestTrendSeries : public QObject
{
    Q_OBJECT

private slots:
    void sessionSecond_data();
    void sessionSecond();
    void quotesMakeTheSeries_data();
    void quotesMakeTheSeries();
    void priceReadsBack_data();
    void priceReadsBack();
};

void TestTrendSeries::sessionSecond_data()
{
    QTest::addColumn<int>("market");
    QTest::addColumn<QString>("clock"); // weekday (1 Monday) and "HH:mm:ss"
    QTest::addColumn<int>("second");    // -1: not on the trend's day
    QTest::addColumn<bool>("closes");   // the day's last second, its length
    const int a = int(Market::AShare), hk = int(Market::HongKong), us = int(Market::UnitedStates);
    QTest::newRow("A-shares opening call 09:25") << a << "1 09:25:00" << -1 << false;
    QTest::newRow("A-shares 09:30:00") << a << "1 09:30:00" << 0 << false;
    QTest::newRow("A-shares 11:30:00") << a << "1 11:30:00" << 7200 << false;
    QTest::newRow("A-shares lunch 12:00") << a << "1 12:00:00" << -1 << false;
    QTest::newRow("A-shares 13:00:00") << a << "1 13:00:00" << 7200 << false;
    QTest::newRow("A-shares 13:00:01") << a << "1 13:00:01" << 7201 << false;
    QTest::newRow("A-shares 15:00:00") << a << "5 15:00:00" << 14400 << true;
    QTest::newRow("A-shares 15:00:01") << a << "1 15:00:01" << -1 << false;
    QTest::newRow("A-shares Saturday 10:00") << a << "6 10:00:00" << -1 << false;
    QTest::newRow("Hong Kong 12:00:00") << hk << "1 12:00:00" << 9000 << false;
    QTest::newRow("Hong Kong lunch 12:30") << hk << "1 12:30:00" << -1 << false;
    QTest::newRow("Hong Kong 16:00:00") << hk << "1 16:00:00" << 19800 << true;
    QTest::newRow("United States 09:29:59") << us << "1 09:29:59" << -1 << false;
    QTest::newRow("United States 12:30:00") << us << "1 12:30:00" << 10800 << false;
    QTest::newRow("United States 16:00:00") << us << "1 16:00:00" << 23400 << true;
    QTest::newRow("United States Sunday 10:00") << us << "7 10:00:00" << -1 << false;
}

void TestTrendSeries::sessionSecond()
{
    QFETCH(int, market);
    QFETCH(QString, clock);
    QFETCH(int, second);
    QFETCH(bool, closes);
    MarketTime time{2024, 6, 3, clock.mid(2, 2).toInt(), clock.mid(5, 2).toInt(), clock.mid(8, 2).toInt(),
                    clock.left(1).toInt()};
    QCOMPARE(SessionSecond(Market(market), time).value_or(-1), second);
    if (closes)
        QCOMPARE(SessionLength(Market(market)), second);
}

void TestTrendSeries::quotesMakeTheSeries_data()
{
    QTest::addColumn<QStringList>("quotes"); // A-share quotes, received Monday 10:00
    QTest::addColumn<QString>("added");      // per quote: 1 added, 0 not
    QTest::addColumn<QString>("series");
    QTest::newRow("one point per second")
        << QStringList{"2024-06-03 09:30:00 10.00 9.90", "2024-06-03 09:30:00 10.10 9.90",
                       "2024-06-03 09:30:03 10.20 9.90"}
        << "101" << "2024-06-03 9.90 | 0=10.00 3=10.20";
    QTest::newRow("an earlier second adds nothing")
        << QStringList{"2024-06-03 09:30:06 10.00 9.90", "2024-06-03 09:30:03 10.10 9.90"} << "10"
        << "2024-06-03 9.90 | 6=10.00";
    QTest::newRow("the lunch break is left out")
        << QStringList{"2024-06-03 11:30:00 10.00 9.90", "2024-06-03 13:00:00 10.10 9.90",
                       "2024-06-03 13:00:03 10.20 9.90"}
        << "101" << "2024-06-03 9.90 | 7200=10.00 7203=10.20";
    QTest::newRow("outside the sessions adds nothing")
        << QStringList{"2024-06-03 09:25:00 10.00 9.90", "2024-06-03 12:00:00 10.00 9.90",
                       "2024-06-03 15:00:01 10.00 9.90"}
        << "000" << "empty";
    QTest::newRow("a later day starts over")
        << QStringList{"2024-06-03 14:59:57 10.00 9.90", "2024-06-04 09:30:00 10.50 10.00"} << "11"
        << "2024-06-04 10.00 | 0=10.50";
    QTest::newRow("a late quote of the day before adds nothing")
        << QStringList{"2024-06-04 09:30:00 10.50 10.00", "2024-06-03 14:59:57 10.00 9.90"} << "10"
        << "2024-06-04 10.00 | 0=10.50";
    QTest::newRow("no trade adds nothing")
        << QStringList{"2024-06-03 09:30:00 0.00 9.90", "2024-06-03 09:30:03 - 9.90"} << "00" << "empty";
    QTest::newRow("without a previous close the first price is the reference all day")
        << QStringList{"2024-06-03 09:30:00 10.00 -", "2024-06-03 09:30:03 10.10 9.90"} << "11"
        << "2024-06-03 10.00 | 0=10.00 3=10.10";
    QTest::newRow("without the quote's time it is placed when received")
        << QStringList{"- - 10.00 9.90"} << "1" << "2024-06-03 9.90 | 1800=10.00";
}

void TestTrendSeries::quotesMakeTheSeries()
{
    QFETCH(QStringList, quotes);
    QFETCH(QString, added);
    QFETCH(QString, series);
    TrendSeries trend;
    QString results;
    for (const QString &quote : quotes)
        results += AddQuoteToTrend(trend, quoteFrom(quote), kMonday1000) ? '1' : '0';
    QCOMPARE(results, added);
    QCOMPARE(dump(trend), series);
}

void TestTrendSeries::priceReadsBack_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("previousClose");
    QTest::addColumn<double>("readBack"); // within 0.01 %
    QTest::newRow("1850.00 over 1827.50") << 1850.0 << 1827.5 << 1850.0;
    QTest::newRow("a Hong Kong fall") << 380.2 << 381.2 << 380.2;
    QTest::newRow("a penny stock") << 0.123 << 0.12 << 0.123;
    QTest::newRow("limit down") << 9.0 << 10.0 << 9.0;
    QTest::newRow("+300 % still fits") << 40.0 << 10.0 << 40.0;
    QTest::newRow("above +327.67 % is clamped") << 50.0 << 10.0 << 42.767;
}

void TestTrendSeries::priceReadsBack()
{
    QFETCH(double, price);
    QFETCH(double, previousClose);
    QFETCH(double, readBack);
    TrendSeries trend;
    QVERIFY(trend.add(Market::AShare, "2024-06-03", 60, price, previousClose));
    QVERIFY(qAbs(trend.price(0) - readBack) <= readBack * 1e-4);
}

QTEST_GUILESS_MAIN(TestTrendSeries)
#include "test_trendseries.moc"
