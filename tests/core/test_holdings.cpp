#include "core/holdings.h"

#include <QTest>

using namespace velmora;

namespace {

const char kToday[] = "2026-12-08";
const QByteArray kHead = "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n";

Quote quoteAt(const char *price, const char *previous, const char *currency = "CNY")
{
    Quote quote;
    quote.price = price;
    quote.previousClose = previous;
    quote.currency = currency;
    return quote;
}

std::vector<const Lot *> pointersTo(const Lots &lots)
{
    std::vector<const Lot *> pointers;
    for (const Lot &lot : lots)
        pointers.push_back(&lot);
    return pointers;
}

} // namespace

Q_DECLARE_METATYPE(velmora::Lots)

class TestHoldings : public QObject
{
    Q_OBJECT

private slots:
    void roundingIsHalfAwayFromZero_data();
    void roundingIsHalfAwayFromZero();
    void figuresToTheCent_data();
    void figuresToTheCent();
    void totalsKeepCurrenciesApart();
    void badLinesAreNamed_data();
    void badLinesAreNamed();
    void fileRoundTripsByteForByte();
};

void TestHoldings::roundingIsHalfAwayFromZero_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("twoDecimals");
    QTest::addColumn<QString>("shortest"); // at least 2, at most 4 decimals
    QTest::newRow("half up") << "2.345" << "2.35" << "2.345";
    QTest::newRow("half of a loss goes down") << "-2.345" << "-2.35" << "-2.345";
    QTest::newRow("below half stays") << "0.0049" << "0.00" << "0.0049";
    QTest::newRow("tiny cost keeps its digits") << "0.007" << "0.01" << "0.007";
    QTest::newRow("fifth decimal rounds the fourth") << "7.86665" << "7.87" << "7.8667";
    QTest::newRow("a large amount is exact") << "123456789012.125" << "123456789012.13"
                                             << "123456789012.125";
}

void TestHoldings::roundingIsHalfAwayFromZero()
{
    QFETCH(QString, value);
    QFETCH(QString, twoDecimals);
    QFETCH(QString, shortest);
    const auto decimal = Decimal::parse(value.toStdString());
    QVERIFY(decimal);
    QCOMPARE(QString::fromStdString(decimal->text(2)), twoDecimals);
    QCOMPARE(QString::fromStdString(decimal->shortest(2, 4)), shortest);
}

void TestHoldings::figuresToTheCent_data()
{
    QTest::addColumn<Lots>("lots");
    QTest::addColumn<QStringList>("quote"); // price, previous close; empty: none yet
    QTest::addColumn<QString>("expected");   // shares average | day holding value
    QTest::newRow("an old lot and one bought today")
        << Lots{{"600000", "2026-12-01", 1000, "7.00"}, {"600000", kToday, 500, "7.80"}}
        << QStringList{"7.85", "7.73"} << "1500 7.2667 | +145.00 +875.00 11775.00";
    QTest::newRow("a cost below one fen is not rounded away")
        << Lots{{"000001", "2026-01-05", 200, "0.007"}} << QStringList{"10.20", "10.50"}
        << "200 0.007 | -60.00 +2038.60 2040.00";
    QTest::newRow("a lot bought today makes its day from its cost")
        << Lots{{"000001", kToday, 300, "10.55"}} << QStringList{"10.20", "10.50"}
        << "300 10.55 | -105.00 -105.00 3060.00";
    QTest::newRow("Hong Kong price with three decimals")
        << Lots{{"00700", "2026-11-02", 100, "300"}, {"00700", "2026-11-03", 1500, "0.125"}}
        << QStringList{"380.005", "379.2"} << "1600 18.8672 | +1288.00 +577820.50 608008.00";
    QTest::newRow("zero cost: all of the value is profit")
        << Lots{{"600519", "2026-05-05", 10, "0"}} << QStringList{"1500.00", "1490.00"}
        << "10 0.00 | +100.00 +15000.00 15000.00";
    QTest::newRow("no quote yet: shares and cost only")
        << Lots{{"600000", "2026-12-01", 1000, "7.00"}} << QStringList{}
        << "1000 7.00 | unpriced";
    QTest::newRow("no trade yet: valued at the close, no day")
        << Lots{{"600000", "2026-12-01", 1000, "7.00"}} << QStringList{"0.00", "7.73"}
        << "1000 7.00 | 0.00 +730.00 7730.00";
}

void TestHoldings::figuresToTheCent()
{
    QFETCH(Lots, lots);
    QFETCH(QStringList, quote);
    QFETCH(QString, expected);
    const Quote priced = quote.isEmpty() ? Quote() : quoteAt(qPrintable(quote[0]), qPrintable(quote[1]));
    const HoldingFigures figures = FiguresOf(pointersTo(lots), quote.isEmpty() ? nullptr : &priced, kToday);
    QString shown = QString::number(figures.shares) + " " +
                    QString::fromStdString(figures.averageCost->shortest(2, 4)) + " | ";
    shown += figures.priced ? QString::fromStdString(SignedAmount(figures.dayProfit) + " " +
                                                     SignedAmount(figures.holdingProfit) + " " +
                                                     figures.marketValue.text(2))
                            : QStringLiteral("unpriced");
    QCOMPARE(shown, expected);
}

void TestHoldings::totalsKeepCurrenciesApart()
{
    const Lots yuan{{"600000", "2026-12-01", 1000, "7.00"}, {"600000", kToday, 500, "7.80"}};
    const Lots yuanToo{{"000001", "2026-01-05", 200, "0.007"}};
    const Lots hongKong{{"00700", "2026-11-02", 100, "300"}};
    const Quote q1 = quoteAt("7.85", "7.73"), q2 = quoteAt("10.20", "10.50"),
                q3 = quoteAt("380", "375", "HKD");
    TotalsByCurrency totals;
    AddToTotals(totals, "CNY", FiguresOf(pointersTo(yuan), &q1, kToday));
    AddToTotals(totals, "CNY", FiguresOf(pointersTo(yuanToo), &q2, kToday));
    AddToTotals(totals, "HKD", FiguresOf(pointersTo(hongKong), &q3, kToday));
    AddToTotals(totals, "USD", FiguresOf(pointersTo(hongKong), nullptr, kToday)); // unpriced: nothing
    QCOMPARE(totals.size(), std::size_t(2));
    QCOMPARE(totals["CNY"].marketValue.text(2), "13815.00");
    QCOMPARE(SignedAmount(totals["CNY"].dayProfit), "+85.00");
    QCOMPARE(SignedAmount(totals["CNY"].holdingProfit), "+2913.60");
    QCOMPARE(SignedPercent(totals["CNY"].dayProfit, totals["CNY"].dayBase), "+0.62%");
    QCOMPARE(SignedAmount(totals["HKD"].holdingProfit), "+8000.00");
    QCOMPARE(SignedAmount(totals["HKD"].dayProfit), "+500.00");
}

void TestHoldings::badLinesAreNamed_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("problems"); // empty: every lot read
    QTest::newRow("good lots, odd lot, header optional")
        << QByteArray("600000,2026-12-01,1000,7.00\r\n00700,2026-12-08,7,0.0070\r\n") << "";
    QTest::newRow("count zero, negative, not whole")
        << kHead + "a,2026-12-01,0,1\r\nb,2026-12-01,-5,1\r\nc,2026-12-01,1.5,1\r\n"
        << "第 2 行：数量须为大于零的整数：0\n第 3 行：数量须为大于零的整数：-5\n"
           "第 4 行：数量须为大于零的整数：1.5";
    QTest::newRow("a date in the future or not a date")
        << kHead + "a,2026-12-09,1,1\r\nb,2026-02-30,1,1\r\nc,20261201,1,1\r\n"
        << "第 2 行：买入日期在今天之后：2026-12-09\n"
           "第 3 行：买入日期不是日期（应为 yyyy-MM-dd）：2026-02-30\n"
           "第 4 行：买入日期不是日期（应为 yyyy-MM-dd）：20261201";
    QTest::newRow("cost negative, not a number, too fine")
        << kHead + "a,2026-12-01,1,-1\r\nb,2026-12-01,1,七\r\nc,2026-12-01,1,0.00001\r\n"
        << "第 2 行：成本价须为不小于零的数字：-1\n第 3 行：成本价须为不小于零的数字：七\n"
           "第 4 行：成本价最多 4 位小数：0.00001";
    QTest::newRow("empty code, too many fields, reasons joined")
        << kHead + ",2026-12-01,1,1\r\na,2026-12-01,1,1,x\r\n,x,0,\r\n"
        << "第 2 行：股票代码为空\n第 3 行：字段太多（5 个，最多 4 个）\n"
           "第 4 行：股票代码为空；买入日期不是日期（应为 yyyy-MM-dd）：x；数量须为大于零的整数：0；"
           "成本价为空";
}

void TestHoldings::badLinesAreNamed()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, problems);
    const HoldingsImport read = ReadHoldingsCsv(csv.toStdString(), kToday);
    QCOMPARE(QString::fromStdString(CsvProblemsText(read.problems)), problems);
    // All or nothing: a table with a bad line gives no lots at all.
    QCOMPARE(read.lots.empty(), !read.problems.empty());
}

void TestHoldings::fileRoundTripsByteForByte()
{
    const Lots lots{{"600000", "2026-12-01", 1000, "7.00"},
                    {"00700", "2026-11-02", 100, "0.007"},
                    {"岚溪,科技", "2026-11-02", 3, "12"},
                    {"600000", kToday, 500, "7.80"}};
    const std::string file = HoldingsCsv(lots);
    QVERIFY(IsHoldingsTable(file));
    const HoldingsImport read = ReadHoldingsCsv(file, kToday);
    QVERIFY(read.problems.empty());
    QCOMPARE(read.lots, lots);
    QCOMPARE(HoldingsCsv(read.lots), file);
    QCOMPARE(QByteArray::fromStdString(file),
             kHead + "600000,2026-12-01,1000,7.00\r\n00700,2026-11-02,100,0.007\r\n"
                     "\"岚溪,科技\",2026-11-02,3,12\r\n600000,2026-12-08,500,7.80\r\n");
}

QTEST_APPLESS_MAIN(TestHoldings)
#include "test_holdings.moc"
