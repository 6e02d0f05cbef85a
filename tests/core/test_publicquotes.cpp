#include "core/marketsymbol.h"
#include "core/publicquotes.h"
#include "core/refreshpolicy.h"
#include "core/tradingclock.h"

#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<velmora::PublicQuote>)

namespace {

using Quotes = std::vector<PublicQuote>;

// Monday 2024-06-03 in Shanghai, as Unix seconds.
constexpr qint64 kMonday0915 = 1717377300;
constexpr qint64 kMonday1000 = 1717380000;
constexpr qint64 kMonday2000 = 1717416000;

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

PublicQuote quote(std::string symbol, std::string name, std::string price, std::string change,
                  std::string previous, std::string date, std::string time)
{
    return {std::move(symbol), std::move(name), std::move(price), "1810.00", "1785.50",
            std::move(change), std::move(previous), std::move(date), std::move(time)};
}

QByteArray describe(const Quotes &quotes)
{
    QByteArray out;
    for (const PublicQuote &q : quotes) {
        for (const std::string *f : {&q.symbol, &q.name, &q.price, &q.high, &q.low, &q.change,
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
    void symbols_data();
    void symbols();
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
    void tradingHours_data();
    void tradingHours();
    void backoff_data();
    void backoff();
    void retryAfter_data();
    void retryAfter();
    void askPace_data();
    void askPace();
    void quoteDate_data();
    void quoteDate();
};

void TestPublicQuotes::symbols_data()
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

void TestPublicQuotes::symbols()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArray, symbol);
    const auto got = MarketSymbol(code.toStdString());
    QCOMPARE(QByteArray::fromStdString(got.value_or("")), symbol);
    QCOMPARE(IsMarketSymbol(code.toStdString()), !symbol.isEmpty() && code == symbol);
    QVERIFY(!UnaskableCodeText(code.toStdString()).empty());
}

void TestPublicQuotes::tencentReplies_data()
{
    QTest::addColumn<std::string>("reply");
    QTest::addColumn<Quotes>("expected");

    const std::string sh = tencent("sh600519", "翠岑地产", "1800.00", "1790.00",
                                   "20240603150003", "0.56");
    const PublicQuote shQuote =
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
    QTest::newRow("name not a symbol") << "v_hk00700" + sh.substr(10) << Quotes{};
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
    const PublicQuote shQuote =
        quote("sh600519", "翠岑地产", "1800.00", "0.56%", "1790.00", "2024-06-03", "15:00:03");
    QTest::newRow("full line, three decimals, trailing comma") << sh + "\n" << Quotes{shQuote};
    QTest::newRow("unknown code answers an empty string")
        << "var hq_str_sh999999=\"\";\r\n" + sh << Quotes{shQuote};
    QTest::newRow("31 fields, trailing comma counted: no quote")
        << sina("sh600519", "1790.000", "1800.000", "2024-06-03", 21) << Quotes{};
    QTest::newRow("price zero before the first trade, date unreadable")
        << sina("sh600519", "1790.000", "0.000", "2024/06/03")
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

void TestPublicQuotes::tradingHours_data()
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

void TestPublicQuotes::tradingHours()
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

void TestPublicQuotes::backoff_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("retryAfter"); // -1: none
    QTest::addColumn<QList<int>>("waits");
    QTest::newRow("1 s: doubling up to 300")
        << 1 << -1 << QList<int>{2, 4, 8, 16, 32, 64, 128, 256, 300, 300};
    QTest::newRow("5 s") << 5 << -1 << QList<int>{10, 20, 40, 80, 160, 300, 300};
    QTest::newRow("Retry-After 120 as a floor")
        << 5 << 120 << QList<int>{120, 120, 120, 120, 160, 300};
    QTest::newRow("Retry-After beyond the cap") << 5 << 600 << QList<int>{600, 600};
}

void TestPublicQuotes::backoff()
{
    QFETCH(int, interval);
    QFETCH(int, retryAfter);
    QFETCH(QList<int>, waits);
    SourceBackoff backoff;
    qint64 now = 1000;
    QVERIFY(backoff.mayAsk(now));
    for (int wait : waits) {
        backoff.failed(now, interval, retryAfter < 0 ? std::nullopt : std::optional(retryAfter));
        QCOMPARE(backoff.nextTry() - now, qint64(wait));
        QVERIFY(!backoff.mayAsk(now + wait - 1));
        QVERIFY(backoff.mayAsk(now + wait));
        now += wait;
    }
    backoff.succeeded();
    QVERIFY(backoff.mayAsk(now));
    backoff.failed(now, interval, std::nullopt);
    QCOMPARE(backoff.nextTry() - now, qint64(2 * interval));
}

void TestPublicQuotes::retryAfter_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("seconds"); // -1: none
    const std::pair<const char *, int> rows[] = {
        {"120", 120}, {" 7 ", 7}, {"0", 0}, {"-5", 0}, {"99999999999999999999", 86400},
        {"Sun, 06 Nov 1994 08:49:37 GMT", 30}, {"Sun, 06 Nov 1994 08:48:37 GMT", 0},
        {"1.5", -1}, {"", -1}, {"soon", -1}, {"Sunday, 06-Nov-94 08:49:37 GMT", -1},
        {"Sun, 31 Feb 1994 08:49:37 GMT", -1}, {"Sun, 06 Nov 1994 08:49:37 UTC", -1},
    };
    for (const auto &[header, seconds] : rows)
        QTest::newRow(header[0] ? header : "empty") << QByteArray(header) << seconds;
}

void TestPublicQuotes::retryAfter()
{
    QFETCH(QByteArray, header);
    QFETCH(int, seconds);
    // 30 s before Sun, 06 Nov 1994 08:49:37 GMT.
    const auto got = ParseRetryAfter(header.toStdString(), 784111777 - 30);
    QCOMPARE(got.value_or(-1), seconds);
}

void TestPublicQuotes::askPace_data()
{
    QTest::addColumn<qint64>("now");
    QTest::addColumn<int>("lastAskAgo"); // -1: never asked
    QTest::addColumn<bool>("forced");
    QTest::addColumn<bool>("slowDown");
    QTest::addColumn<bool>("ask");
    QTest::newRow("trading, asked a second ago") << kMonday1000 << 1 << false << true << true;
    QTest::newRow("evening, 60 s ago") << kMonday2000 << 60 << false << true << false;
    QTest::newRow("evening, 300 s ago") << kMonday2000 << 300 << false << true << true;
    QTest::newRow("evening, forced") << kMonday2000 << 60 << true << true << true;
    QTest::newRow("evening, slow-down off") << kMonday2000 << 60 << false << false << true;
    QTest::newRow("evening, never asked") << kMonday2000 << -1 << false << true << true;
    QTest::newRow("lunch break, 60 s ago") << qint64(1717387200) << 60 << false << true << false;
    QTest::newRow("Saturday 10:00, 60 s ago") << qint64(1717207200) << 60 << false << true << false;
}

void TestPublicQuotes::askPace()
{
    QFETCH(qint64, now);
    QFETCH(int, lastAskAgo);
    QFETCH(bool, forced);
    QFETCH(bool, slowDown);
    QFETCH(bool, ask);
    MarketWatch watch;
    if (lastAskAgo >= 0)
        watch.asked(now - lastAskAgo);
    QCOMPARE(watch.shouldAsk(now, forced, slowDown), ask);
}

void TestPublicQuotes::quoteDate_data()
{
    QTest::addColumn<QList<QByteArray>>("dates"); // seen at successive refreshes
    QTest::addColumn<bool>("open");
    QTest::newRow("today's quotes") << QList<QByteArray>{"2024-06-03"} << true;
    QTest::newRow("last trading day's quotes: a holiday")
        << QList<QByteArray>{"2024-05-31"} << false;
    QTest::newRow("an empty date tells nothing") << QList<QByteArray>{""} << true;
    QTest::newRow("holiday stays until a date of today")
        << QList<QByteArray>{"2024-05-31", ""} << false;
    QTest::newRow("today's date again opens it")
        << QList<QByteArray>{"2024-05-31", "2024-06-03"} << true;
}

void TestPublicQuotes::quoteDate()
{
    QFETCH(QList<QByteArray>, dates);
    QFETCH(bool, open);
    MarketWatch watch;
    for (const QByteArray &date : dates)
        watch.sawQuoteDate(date.toStdString(), kMonday1000);
    watch.asked(kMonday1000);
    QCOMPARE(watch.marketOpen(kMonday1000 + 60), open);
    QCOMPARE(watch.shouldAsk(kMonday1000 + 60, false, true), open);
}

QTEST_GUILESS_MAIN(TestPublicQuotes)
#include "test_publicquotes.moc"
