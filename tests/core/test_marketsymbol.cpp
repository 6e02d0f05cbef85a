#include "core/marketsymbol.h"

#include <QTest>

using namespace velmora;

class TestMarketSymbol : public QObject
{
    Q_OBJECT

private slots:
    void symbols_data();
    void symbols();
    void pageSymbols_data();
    void pageSymbols();
};

void TestMarketSymbol::symbols_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("symbol"); // empty: none
    const char *rows[][2] = {
        {"600519", "sh600519"},   {"000001", "sz000001"},   {"SH000001", "sh000001"},
        {"sz000001", "sz000001"}, {"Bj430047", "bj430047"}, {"920118", "bj920118"},
        {"900901", "sh900901"},   {"510300", "sh510300"},   {"430047", "bj430047"},
        {"830799", "bj830799"},   {"110059", "sh110059"},   {"113050", "sh113050"},
        {"118000", "sh118000"},   {"132001", "sh132001"},   {"204001", "sh204001"},
        {"123001", "sz123001"},   {"159915", "sz159915"},   {"200002", "sz200002"},
        {"300750", "sz300750"},   {"700001", ""},           {"60051", ""},
        {"6005190", ""},          {" 600519", ""},          {"600519 ", ""},
        {"", ""},                 {"sh60051a", ""},         {"hk000001", ""},
        {"sh 600519", ""},        {"\xef\xbc\x96" "00519", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0][0] ? row[0] : "empty") << QByteArray(row[0]) << QByteArray(row[1]);
}

void TestMarketSymbol::symbols()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, symbol);
    const auto got = MarketSymbol(code.toStdString());
    QCOMPARE(QByteArray::fromStdString(got.value_or("")), symbol);
    QCOMPARE(IsMarketSymbol(code.toStdString()), !symbol.isEmpty() && code == symbol);
    QVERIFY(!UnaskableCodeText(code.toStdString()).empty());
}

// How each market's codes are asked on the two pages.
void TestMarketSymbol::pageSymbols_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QByteArray>("asked"); // "market first-page second-page [index]", empty: none
    const char *rows[][2] = {
        {"600000", "A sh600000 sh600000"},
        {"sz399001", "A sz399001 sz399001"},
        {"510300", "A sh510300 sh510300"},
        {"159919", "A sz159919 sz159919"},
        {"00700", "HK r_hk00700 rt_hk00700"},
        {"hk09988", "HK r_hk09988 rt_hk09988"},
        {"HK00700", "HK r_hk00700 rt_hk00700"},
        {"hkHSI", "HK hkHSI rt_hkHSI index"},
        {"AAPL", "US usAAPL gb_aapl"},
        {"usTSLA", "US usTSLA gb_tsla"},
        {"BRK.B", "US usBRK.B gb_brk$b"},
        {"usDJI", "US usDJI gb_dji index"},
        {"usIXIC", "US usIXIC gb_ixic index"},
        {"usINX", "US usINX gb_inx index"},
        {"DJI", "US usDJI gb_dji"}, // a ticker alone is a stock: an index needs its market
        {"0700", ""},
        {"hk0700", ""},
        {"ABCDEF", ""},
        {"BRK.BBB", ""},
        {"A1", ""},
        {"7", ""},
    };
    for (const auto &row : rows)
        QTest::newRow(row[0]) << QByteArray(row[0]) << QByteArray(row[1]);
}

void TestMarketSymbol::pageSymbols()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, asked);
    const auto symbols = PageSymbolsOf(code.toStdString());
    QByteArray got;
    if (symbols) {
        const char *market[] = {"A", "HK", "US"};
        got = QByteArray(market[int(symbols->market)]) + ' ' +
              QByteArray::fromStdString(symbols->tencent) + ' ' +
              QByteArray::fromStdString(symbols->sina) + (symbols->index ? " index" : "");
        QVERIFY(IsPageSymbol(symbols->tencent) && IsPageSymbol(symbols->sina));
    }
    QCOMPARE(got, asked);
}

QTEST_GUILESS_MAIN(TestMarketSymbol)
#include "test_marketsymbol.moc"
