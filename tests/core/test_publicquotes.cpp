#include "core/publicquotes.h"

#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(velmora::QuotesByKey)

namespace {

using Quotes = QuotesByKey;

// A tencent line of `count` fields, "0" where the parser does not look.
std::string tencent(const std::string &symbol, const std::string &name, const std::string &price,
                    const std::string &previous, const std::string &time,
                    const std::string &percent, int count = 50)
{
    std::vector<std::string> f(static_cast<std::size_t>(count), "0");
    const std::pair<std::size_t, std::string> set[] = {
        {1, name}, {2, symbol.substr(2)}, {3, price}, {4, previous}, {30, time},
        {31, "1.00"}, {32, percent}, {33, "1810.00"}, {34, "1785.50"}};
    for (const auto &[at, value] : set) {
        if (at < f.size())
            f[at] = value;
    }
    std::string line = "v_" + symbol + "=\"";
    for (std::size_t i = 0; i < f.size(); ++i)
        line += (i ? "~" : "") + f[i];
    return line + "\";";
}

// A sina line: name, open, previous close, price, high, low, 24 figures, date, time, status.
std::string sina(const std::string &symbol, const std::string &previous, const std::string &price,
                 const std::string &date, int figures = 24)
{
    std::string line = "var hq_str_" + symbol + "=\"翠岑地产,1791.000," + previous + "," + price +
                       ",1810.000,1785.500";
    for (int i = 0; i < figures; ++i)
        line += ",0";
    return line + "," + date + ",15:00:03,00,\";";
}

std::pair<const std::string, Quote> quote(std::string symbol, std::string name, std::string price,
                                          std::string change, std::string previous,
                                          std::string date, std::string time)
{
    Quote q;
    q.name = std::move(name);
    q.price = std::move(price);
    q.previousClose = std::move(previous);
    q.high = "1810.00";
    q.low = "1785.50";
    q.change = std::move(change);
    q.date = std::move(date);
    q.time = std::move(time);
    q.volume = "0";
    q.currency = "CNY";
    return {std::move(symbol), q};
}

QByteArray describe(const Quotes &quotes)
{
    QByteArray out;
    for (const auto &[symbol, q] : quotes) {
        for (const std::string *f : {&symbol, &q.name, &q.price, &q.high, &q.low, &q.change,
                                     &q.previousClose, &q.date, &q.time})
            out += QByteArray::fromStdString(*f) + '|';
        out += '\n';
    }
    return out;
}

} // namespace

class TestPublicQuotes : public QObject
{
    Q_OBJECT

private slots:
    void tencentReplies_data();
    void tencentReplies();
    void sinaReplies_data();
    void sinaReplies();
    void trimPrice_data();
    void trimPrice();
    void percentText_data();
    void percentText();
    void changeFromPrices_data();
    void changeFromPrices();
    void requestTargets();
    void marketLines_data();
    void marketLines();
};

void TestPublicQuotes::tencentReplies_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<Quotes>("expected");

    const std::string sh = tencent("sh600519", "翠岑地产", "1800.00", "1790.00",
                                   "20240603150003", "0.56");
    const auto shQuote =
        quote("sh600519", "翠岑地产", "1800.00", "0.56%", "1790.00", "2024-06-03", "15:00:03");
    QTest::newRow("one line, compact time") << sh + "\n" << Quotes{shQuote};
    QTest::newRow("slashed time, CR LF, none_match between, no final line break")
        << tencent("sz000001", "杉屿医药", "9.520", "9.80", "2024/06/03 10:31:00", "-2.86") +
               "\r\nv_pv_none_match=\"1\";\r\n" + sh
        << Quotes{quote("sz000001", "杉屿医药", "9.52", "-2.86%", "9.80", "2024-06-03",
                        "10:31:00"),
                  shQuote};
    std::string otherCode = tencent("sz000001", "杉屿医药", "9.52", "9.80", "20240603103100",
                                    "-2.86");
    otherCode.replace(otherCode.find("~000001~"), 8, "~600519~");
    QTest::newRow("the line's own name decides, not field 2")
        << otherCode
        << Quotes{quote("sz000001", "杉屿医药", "9.52", "-2.86%", "9.80", "2024-06-03",
                        "10:31:00")};
    QTest::newRow("34 fields: no quote")
        << tencent("sh600519", "x", "1", "1", "20240603150003", "0", 34) << Quotes{};
    QTest::newRow("name not a symbol") << "v_sh6005-9" + sh.substr(10) << Quotes{};
    QTest::newRow("line cut off") << sh.substr(0, sh.size() - 3) << Quotes{};
    QTest::newRow("unreadable time, minus zero and empty percent")
        << tencent("sh600519", "翠岑地产", "1800.00", "1790.00", "15:00:03", "-0.00") + "\n" +
               tencent("sh600000", "岚溪科技", "7.850", "7.85", "", "")
        << Quotes{quote("sh600519", "翠岑地产", "1800.00", "0.00%", "1790.00", "", ""),
                  quote("sh600000", "岚溪科技", "7.85", "", "7.85", "", "")};
    QTest::newRow("empty reply") << std::string() << Quotes{};
}

void TestPublicQuotes::tencentReplies()
{
    QFETCH(std::string, reply);
    QFETCH(Quotes, expected);
    const Quotes got = ParseTencentReply(reply);
    QVERIFY2(got == expected, describe(got).constData());
}

void TestPublicQuotes::sinaReplies_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<Quotes>("expected");

    const std::string sh = sina("sh600519", "1790.000", "1800.000", "2024-06-03");
    const auto shQuote =
        quote("sh600519", "翠岑地产", "1800.00", "0.56%", "1790.00", "2024-06-03", "15:00:03");
    QTest::newRow("full line, three decimals, trailing comma") << sh + "\n" << Quotes{shQuote};
    QTest::newRow("unknown code answers an empty string")
        << "var hq_str_sh999999=\"\";\r\n" + sh << Quotes{shQuote};
    QTest::newRow("31 fields, trailing comma counted: no quote")
        << sina("sh600519", "1790.000", "1800.000", "2024-06-03", 21) << Quotes{};
    QTest::newRow("price zero before the first trade, date unreadable")
        << sina("sh600519", "1790.000", "0.000", "03.06.2024")
        << Quotes{quote("sh600519", "翠岑地产", "0.00", "", "1790.00", "", "15:00:03")};
    QTest::newRow("forbidden page") << std::string("<html><body>Forbidden</body></html>")
                                    << Quotes{};
}

void TestPublicQuotes::sinaReplies()
{
    QFETCH(std::string, reply);
    QFETCH(Quotes, expected);
    const Quotes got = ParseSinaReply(reply);
    QVERIFY2(got == expected, describe(got).constData());
}

void TestPublicQuotes::trimPrice_data()
{
    QTest::addColumn<QByteArray>("price");
    QTest::addColumn<QByteArray>("shown");
    const char *rows[][2] = {{"7.850", "7.85"},     {"1800.000", "1800.00"}, {"7.8", "7.8"},
                             {"10", "10"},          {"0.000", "0.00"},       {"7.855", "7.855"},
                             {"-1.500", "-1.50"},   {"10.00100", "10.001"},  {"", ""},
                             {"1,800.000", "1,800.000"}, {"--", "--"}};
    for (const auto &row : rows)
        QTest::newRow(row[0][0] ? row[0] : "empty") << QByteArray(row[0]) << QByteArray(row[1]);
}

void TestPublicQuotes::trimPrice()
{
    QFETCH(QByteArray, price);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(TrimPrice(price.toStdString())), shown);
}

void TestPublicQuotes::percentText_data()
{
    QTest::addColumn<QByteArray>("percent");
    QTest::addColumn<QByteArray>("shown");
    const char *rows[][2] = {{"-2.86", "-2.86%"}, {"1.55", "1.55%"},   {"1.5", "1.50%"},
                             {"0", "0.00%"},      {"-0.00", "0.00%"},  {"-0.004", "0.00%"},
                             {"1.545", "1.54%"},  {"1.555", "1.56%"},  {"-2.865", "-2.86%"},
                             {"", ""},            {"1.5%", ""},        {"+1.5", ""}};
    for (const auto &row : rows)
        QTest::newRow(row[0][0] ? row[0] : "empty") << QByteArray(row[0]) << QByteArray(row[1]);
}

void TestPublicQuotes::percentText()
{
    QFETCH(QByteArray, percent);
    QFETCH(QByteArray, shown);
    QCOMPARE(QByteArray::fromStdString(FormatPercentChange(percent.toStdString())), shown);
}

void TestPublicQuotes::changeFromPrices_data()
{
    QTest::addColumn<QByteArray>("price");
    QTest::addColumn<QByteArray>("previous");
    QTest::addColumn<QByteArray>("change");
    const char *rows[][3] = {
        {"9.52", "9.80", "-2.86%"},   {"10.000", "9.85", "1.52%"}, {"9.85", "9.850", "0.00%"},
        // Exactly halfway: to the even neighbour, where doubles give 0.01 and 0.03.
        {"2.0001", "2", "0.00%"},     {"2.0003", "2", "0.02%"},    {"2.0005", "2", "0.02%"},
        {"1.9995", "2", "-0.02%"},    {"0.000", "9.80", ""},       {"9.52", "0", ""},
        {"9.52", "-9.80", ""},        {"--", "9.80", ""},
    };
    for (const auto &row : rows) {
        QTest::newRow((QByteArray(row[0]) + " from " + row[1]).constData())
            << QByteArray(row[0]) << QByteArray(row[1]) << QByteArray(row[2]);
    }
}

void TestPublicQuotes::changeFromPrices()
{
    QFETCH(QByteArray, price);
    QFETCH(QByteArray, previous);
    QFETCH(QByteArray, change);
    QCOMPARE(QByteArray::fromStdString(
                 PercentChangeFromPrices(price.toStdString(), previous.toStdString())),
             change);
}

void TestPublicQuotes::requestTargets()
{
    const std::vector<std::string> symbols = {"sh600519", "sz000001"};
    QCOMPARE(TencentRequestTarget(symbols), std::string("/q=sh600519,sz000001"));
    QCOMPARE(SinaRequestTarget(symbols), std::string("/list=sh600519,sz000001"));
}

// A line of count fields, "0" where the parser does not look, with some set.
std::string line(const std::string &head, char separator, std::size_t count,
                 const std::vector<std::pair<std::size_t, std::string>> &set)
{
    std::vector<std::string> f(count, "0");
    for (const auto &[at, value] : set)
        f[at] = value;
    std::string out = head + "=\"";
    for (std::size_t i = 0; i < f.size(); ++i)
        out += (i ? std::string(1, separator) : std::string()) + f[i];
    return out + "\";\n";
}

// Hong Kong and US lines of both pages, at the field counts the pages send, each read with its
// own layout and dated on its own market's clock.
void TestPublicQuotes::marketLines_data()
{
    QTest::addColumn<bool>("tencent");
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<QByteArray>("expected"); // symbol|name|price|previous|high|low|change|date time|currency
    QTest::newRow("first page, Hong Kong, 78 fields")
        << true
        << line("v_r_hk00700", '~', 78, {{1, "腾讯控股"}, {2, "00700"}, {3, "380.200"}, {4, "375.000"},
                                          {30, "2026/12/07 10:29:50"}, {31, "5.200"}, {32, "1.39"},
                                          {33, "382.000"}, {34, "376.600"}, {75, "HKD"}})
        << QByteArray("r_hk00700|腾讯控股|380.20|375.00|382.00|376.60|1.39%|2026-12-07 10:29:50|HKD");
    QTest::newRow("first page, US, 71 fields, New York time")
        << true
        << line("v_usAAPL", '~', 71, {{1, "苹果"}, {2, "AAPL.OQ"}, {3, "195.890"}, {4, "197.100"},
                                       {30, "2026-12-07 10:00:01"}, {31, "-1.21"}, {32, "-0.61"},
                                       {33, "198.000"}, {34, "195.100"}, {35, "USD"}})
        << QByteArray("usAAPL|苹果|195.89|197.10|198.00|195.10|-0.61%|2026-12-07 10:00:01|USD");
    QTest::newRow("second page, Hong Kong: price 6 minus previous close 3 is change 7")
        << false
        << line("var hq_str_rt_hk00700", ',', 24, {{0, "TENCENT"}, {1, "腾讯控股"}, {2, "376.000"},
                                                   {3, "375.000"}, {4, "382.000"}, {5, "376.600"},
                                                   {6, "380.200"}, {7, "5.200"}, {8, "1.387"},
                                                   {17, "2026/12/07"}, {18, "10:29:50"}})
        << QByteArray("rt_hk00700|腾讯控股|380.20|375.00|382.00|376.60|1.39%|2026-12-07 10:29:50|HKD");
    QTest::newRow("second page, US: Beijing time turned into New York's")
        << false
        << line("var hq_str_gb_aapl", ',', 30, {{0, "苹果"}, {1, "195.89"}, {2, "-0.61"},
                                                {3, "2026-12-07 23:00:01"}, {4, "-1.21"},
                                                {5, "196.50"}, {6, "198.00"}, {7, "195.10"},
                                                {25, "Dec 07 04:00PM EST"}, {26, "197.10"}})
        << QByteArray("gb_aapl|苹果|195.89|197.10|198.00|195.10|-0.61%|2026-12-07 10:00:01|USD");
    QTest::newRow("second page, US without a previous close: price minus change")
        << false
        << line("var hq_str_gb_aapl", ',', 12, {{0, "苹果"}, {1, "195.89"}, {2, "-0.61"},
                                                {3, "2026-06-08 22:00:00"}, {4, "-1.21"},
                                                {6, "198.00"}, {7, "195.10"}})
        << QByteArray("gb_aapl|苹果|195.89|197.10|198.00|195.10|-0.61%|2026-06-08 10:00:00|USD");
    QTest::newRow("second page, US line cut short: no quote")
        << false << line("var hq_str_gb_aapl", ',', 7, {{1, "195.89"}}) << QByteArray();
}

void TestPublicQuotes::marketLines()
{
    QFETCH(bool, tencent);
    QFETCH(std::string, reply);
    QFETCH(QByteArray, expected);
    const Quotes quotes = tencent ? ParseTencentReply(reply) : ParseSinaReply(reply);
    QByteArray got;
    for (const auto &[symbol, q] : quotes) {
        got = QByteArray::fromStdString(symbol + '|' + q.name + '|' + q.price + '|' + q.previousClose +
                                        '|' + q.high + '|' + q.low + '|' + q.change + '|' + q.date +
                                        ' ' + q.time + '|' + q.currency);
    }
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestPublicQuotes)
#include "test_publicquotes.moc"
