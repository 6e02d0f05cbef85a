#include "demo/demomarket.h"
#include "demo/demopages.h"
#include "demo/demoservice.h"
#include "platform/httpqueue.h"
#include "core/publicquotes.h"
#include "core/quotereply.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTest>

#include <cmath>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::DemoFault)

namespace {

// Monday 2024-06-03 10:31:00 in Shanghai.
constexpr std::int64_t kMonday1031 = 1717381860;

FetchResult fetchOnce(HttpQueue &fetcher, const QUrl &url)
{
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    const auto ticket = fetcher.fetch(url);
    if (!spy.wait(10000))
        return {false, {}, QStringLiteral("<no result>"), -1, {}, {}};
    const auto args = spy.takeFirst();
    if (args.at(0).value<HttpQueue::Ticket>() != ticket)
        return {false, {}, QStringLiteral("<another ticket>"), -1, {}, {}};
    return args.at(1).value<FetchResult>();
}

QUrl at(const DemoQuoteService &service, const char *encodedPathAndQuery)
{
    return QUrl::fromEncoded(service.baseUrl().toEncoded() + encodedPathAndQuery);
}

// A GET with a Referer of our choosing, which the HTTP queue never sends. The body comes
// back decoded from GBK.
std::pair<int, std::string> getWithReferer(const QUrl &url, const QByteArray &referer)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    if (!referer.isEmpty())
        request.setRawHeader("Referer", referer);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    QSignalSpy done(reply.get(), &QNetworkReply::finished);
    if (!done.wait(10000))
        return {-1, {}};
    QStringDecoder gbk("GB18030");
    const QString body = gbk.decode(reply->readAll());
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            body.toStdString()};
}

int fieldCount(const std::string &reply)
{
    return static_cast<int>(std::count(reply.begin(), reply.end(), ',')) + 1;
}

} // namespace

class TestDemoService : public QObject
{
    Q_OBJECT

private slots:
    void sameSeedSamePrices();
    void walkStaysWithinTheDay_data();
    void walkStaysWithinTheDay();
    void replyLayout_data();
    void replyLayout();
    void pages_data();
    void pages();
    void chartEscapesTheCode();
    void publicLinesRoundTrip_data();
    void publicLinesRoundTrip();
    void batchPages_data();
    void batchPages();
    void faults_data();
    void faults();
    void latencyAndClientsThatLeave();
};

void TestDemoService::sameSeedSamePrices()
{
    DemoMarket a(7), b(7), c(8);
    for (const char *code : {"600000", "000001", "999999"}) {
        QCOMPARE(a.at(code, 50).prices, b.at(code, 50).prices);
        QVERIFY(a.at(code, 50).prices != c.at(code, 50).prices);
    }
    // Steps only move forward: asking for an earlier step keeps the later series.
    const auto later = a.at("600000", 60).prices;
    QCOMPARE(a.at("600000", 10).prices, later);
}

void TestDemoService::walkStaysWithinTheDay_data()
{
    QTest::addColumn<QByteArray>("code");
    for (const char *code : {"600000", "600036", "000001", "300750", "123456", "abc"})
        QTest::newRow(code) << QByteArray(code);
}

void TestDemoService::walkStaysWithinTheDay()
{
    QFETCH(QByteArray, code);
    DemoMarket market(20240603);
    int falls = 0, rises = 0;
    for (int step = 0; step <= 3000; ++step) {
        const DemoSeries &s = market.at(code.toStdString(), step);
        const double price = s.price();
        QVERIFY(s.low() <= price && price <= s.high());
        QVERIFY(s.low() <= s.open() && s.open() <= s.high());
        QVERIFY(price >= s.previousClose * 0.9 - 0.005 && price <= s.previousClose * 1.1 + 0.005);
        QVERIFY(price > 0);
        QCOMPARE(std::round(price * 100) / 100, price);
        const std::string change = DemoChangePercent(s);
        if (IsFall(change))
            ++falls;
        else if (change != "0.00%")
            ++rises;
        // The sign of the change agrees with the price against yesterday's close.
        QVERIFY2(IsFall(change) == (price < s.previousClose - 0.00005) ||
                     change == "0.00%",
                 change.c_str());
    }
    QVERIFY2(falls > 100 && rises > 100,
             qPrintable(QStringLiteral("falls %1, rises %2").arg(falls).arg(rises)));
}

void TestDemoService::replyLayout_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("listed made-up name") << QByteArray("600000") << QStringLiteral("岚溪科技");
    QTest::newRow("another listed one") << QByteArray("000001") << QStringLiteral("杉屿医药");
    QTest::newRow("synthetic name") << QByteArray("123456") << QStringLiteral("演示3456");
    QTest::newRow("short code") << QByteArray("42") << QStringLiteral("演示42");
    QTest::newRow("code with trailing blank")
        << QByteArray("600000 ") << QStringLiteral("演示0000");
    QTest::newRow("comma, quote and CR LF cannot shift the fields")
        << QByteArray("6,0'0\r\n1") << QStringLiteral("演示6001");
    QTest::newRow("Chinese code") << QByteArray("中文") << QStringLiteral("演示股份");
}

void TestDemoService::replyLayout()
{
    QFETCH(QByteArray, code);
    QFETCH(QString, name);
    DemoMarket market(1);
    const DemoSeries &s = market.at(code.toStdString(), 5);
    const std::string reply = DemoReply(code.toStdString(), s, "2024-06-03", "10:31:00");
    QCOMPARE(fieldCount(reply), 14);
    const QuoteReply parsed = ParseQuoteReply(reply);
    QCOMPARE(QString::fromStdString(*parsed.name), name);
    QCOMPARE(*parsed.price, FormatPrice(s.price()));
    QCOMPARE(*parsed.change, DemoChangePercent(s));
    QCOMPARE(*parsed.high, FormatPrice(s.high()));
    QCOMPARE(*parsed.low, FormatPrice(s.low()));
}

void TestDemoService::pages_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("charset");
    QTest::addColumn<QString>("contains");

    QTest::newRow("quote") << QByteArray("/msq?cn_600000") << 200 << QByteArray("GBK")
                           << QStringLiteral("'岚溪科技'");
    QTest::newRow("quote of a percent-encoded code")
        << QByteArray("/msq?cn_%E4%B8%AD") << 200 << QByteArray("GBK") << QStringLiteral("'中'");
    QTest::newRow("announcement") << QByteArray("/gonggao.htm") << 200 << QByteArray("GBK")
                                  << QStringLiteral("演示");
    QTest::newRow("home page") << QByteArray("/") << 200 << QByteArray("utf-8")
                               << QStringLiteral("演示");
    QTest::newRow("membership page") << QByteArray("/huiyuan/") << 200 << QByteArray("utf-8")
                                     << QStringLiteral("会员服务（演示）");
    QTest::newRow("chart") << QByteArray("/cn/600000/index_kp.shtml") << 200 << QByteArray("GBK")
                           << QStringLiteral("<polyline");
    QTest::newRow("unknown page") << QByteArray("/nothing.htm") << 404 << QByteArray()
                                  << QString();
    QTest::newRow("quote address without the prefix")
        << QByteArray("/msq?600000") << 404 << QByteArray() << QString();
}

void TestDemoService::pages()
{
    QFETCH(QByteArray, path);
    QFETCH(int, status);
    QFETCH(QByteArray, charset);
    QFETCH(QString, contains);

    DemoQuoteService service;
    QVERIFY(service.start());
    QCOMPARE(service.baseUrl().host(), QStringLiteral("127.0.0.1"));
    HttpQueue fetcher;
    const FetchResult result = fetchOnce(fetcher, at(service, path.constData()));
    QCOMPARE(result.status, status);
    QCOMPARE(result.ok, status == 200);
    if (result.ok) {
        QCOMPARE(result.charset, charset);
        QVERIFY2(QString::fromStdString(result.text).contains(contains), result.text.substr(0, 300).c_str());
        // A page's <meta> agrees with the header, for readers that go by the <meta>.
        if (result.text.starts_with("<!DOCTYPE")) {
            const QString meta = QStringLiteral("<meta charset=\"%1\">")
                                     .arg(QString::fromLatin1(charset));
            QVERIFY2(QString::fromStdString(result.text).contains(meta, Qt::CaseInsensitive),
                     result.text.substr(0, 120).c_str());
        }
    }
}

void TestDemoService::chartEscapesTheCode()
{
    DemoQuoteService service({1, 0, 1000000});
    QVERIFY(service.start());
    HttpQueue fetcher;
    const FetchResult chart =
        fetchOnce(fetcher, at(service, "/cn/%3Cb%3E%22x/index_kp.shtml"));
    QVERIFY(chart.ok);
    QVERIFY(QString::fromStdString(chart.text).contains(QStringLiteral("&lt;b&gt;&quot;x")));
    QVERIFY(!QString::fromStdString(chart.text).contains(QStringLiteral("<b>")));

    // The chart and the quote come from the same series.
    const FetchResult quote = fetchOnce(fetcher, at(service, "/msq?cn_600036"));
    const FetchResult page = fetchOnce(fetcher, at(service, "/cn/600036/index_kp.shtml"));
    QVERIFY(quote.ok && page.ok);
    const QuoteReply parsed = ParseQuoteReply(quote.text);
    QVERIFY2(QString::fromStdString(page.text).contains(QStringLiteral("现价 ") + QString::fromStdString(*parsed.price)),
             page.text.substr(0, 400).c_str());
    QVERIFY(QString::fromStdString(page.text).contains(QString::fromStdString(*parsed.name)));
}

// Every market's line on each page reads back as the stock the demo holds, dated on its own
// market's clock.
void TestDemoService::publicLinesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("code");    // the series the demo keeps
    QTest::addColumn<QByteArrayList>("symbols"); // the first page's, the second page's
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("currency");
    QTest::addColumn<QByteArray>("when"); // the quote's own date and time
    const QByteArray shanghai = "2024-06-03 10:31:00";
    QTest::newRow("Shanghai") << QByteArray("600519") << QByteArrayList{"sh600519", "sh600519"}
                              << QStringLiteral("翠岑地产") << QByteArray("CNY") << shanghai;
    QTest::newRow("Shenzhen") << QByteArray("000001") << QByteArrayList{"sz000001", "sz000001"}
                              << QStringLiteral("杉屿医药") << QByteArray("CNY") << shanghai;
    QTest::newRow("Beijing") << QByteArray("430047") << QByteArrayList{"bj430047", "bj430047"}
                             << QStringLiteral("演示0047") << QByteArray("CNY") << shanghai;
    QTest::newRow("Hong Kong") << QByteArray("00700") << QByteArrayList{"r_hk00700", "rt_hk00700"}
                               << QStringLiteral("演示0700") << QByteArray("HKD") << shanghai;
    QTest::newRow("US, New York time") << QByteArray("AAPL") << QByteArrayList{"usAAPL", "gb_aapl"}
                                       << QStringLiteral("演示AAPL") << QByteArray("USD")
                                       << QByteArray("2024-06-02 22:31:00");
}

void TestDemoService::publicLinesRoundTrip()
{
    QFETCH(QByteArray, code);
    QFETCH(QByteArrayList, symbols);
    QFETCH(QString, name);
    QFETCH(QByteArray, currency);
    QFETCH(QByteArray, when);
    DemoMarket market(1);
    for (std::int64_t step : {0, 5, 40}) {
        const DemoSeries &s = market.at(code.toStdString(), step);
        Quote expected;
        expected.name = name.toStdString();
        expected.price = FormatPrice(s.price());
        expected.previousClose = FormatPrice(s.previousClose);
        expected.high = FormatPrice(s.high());
        expected.low = FormatPrice(s.low());
        expected.change = DemoChangePercent(s);
        expected.date = when.left(10).toStdString();
        expected.time = when.mid(11).toStdString();
        expected.currency = currency.toStdString();
        expected.market = currency == "HKD"   ? Market::HongKong
                          : currency == "USD" ? Market::UnitedStates
                                              : Market::AShare;
        const auto tencent = ParseTencentReply(DemoTencentLine(symbols[0].toStdString(), s, kMonday1031));
        const auto sina = ParseSinaReply(DemoSinaLine(symbols[1].toStdString(), s, kMonday1031));
        int page = 0;
        for (const auto *parsed : {&tencent, &sina}) {
            QCOMPARE(parsed->size(), std::size_t(1));
            const Quote &got = parsed->at(symbols[page++].toStdString());
            expected.volume = got.volume; // in the page's own unit
            QVERIFY2(got == expected, (got.name + "|" + got.price + "|" + got.previousClose + "|" +
                                       got.high + "|" + got.low + "|" + got.change + "|" +
                                       got.date + " " + got.time + "|" + got.currency).c_str());
        }
    }
}

void TestDemoService::batchPages_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("referer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("symbols"); // the quotes the reply holds
    QTest::addColumn<QString>("contains");
    const QByteArray referer = "https://finance.sina.com.cn/";
    QTest::newRow("tencent, two symbols")
        << QByteArray("/q=sh600519,sz000001") << QByteArray() << 200
        << QStringList{"sh600519", "sz000001"} << QStringLiteral("~翠岑地产~600519~");
    QTest::newRow("tencent, unknown and bare codes answer none_match")
        << QByteArray("/q=xx00700,600519,sz000001") << QByteArray() << 200
        << QStringList{"sz000001"} << QStringLiteral("v_pv_none_match=\"1\";\nv_pv_none_match");
    QTest::newRow("sina with its Referer") << QByteArray("/list=sh600519,sz000001") << referer
                                           << 200 << QStringList{"sh600519", "sz000001"}
                                           << QStringLiteral("var hq_str_sz000001=\"杉屿医药,");
    QTest::newRow("sina, unknown symbol answers an empty string")
        << QByteArray("/list=sh60051x,sh600519") << referer << 200 << QStringList{"sh600519"}
        << QStringLiteral("var hq_str_sh60051x=\"\";\n");
    QTest::newRow("sina without Referer: 403") << QByteArray("/list=sh600519") << QByteArray()
                                               << 403 << QStringList{} << QString();
    QTest::newRow("sina with another Referer: 403")
        << QByteArray("/list=sh600519") << QByteArray("https://example.com/") << 403
        << QStringList{} << QString();
}

void TestDemoService::batchPages()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, referer);
    QFETCH(int, status);
    QFETCH(QStringList, symbols);
    QFETCH(QString, contains);

    DemoQuoteService service({1, 0, 1000000});
    QVERIFY(service.start());
    QSignalSpy asked(&service, &DemoQuoteService::quoteRequested);
    const auto [got, body] = getWithReferer(at(service, path.constData()), referer);
    QCOMPARE(got, status);
    QCOMPARE(service.quoteRequests(), 1);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.first().first().toByteArray(), path.mid(path.indexOf('=') + 1));
    if (status != 200)
        return;
    QVERIFY2(QString::fromStdString(body).contains(contains), body.c_str());
    const auto quotes = path.startsWith("/q=") ? ParseTencentReply(body) : ParseSinaReply(body);
    QStringList named;
    for (const auto &[symbolOf, quote] : quotes)
        named << QString::fromStdString(symbolOf);
    QCOMPARE(named, symbols);

    // The batch shows the same stock as the single quote of its six digits.
    HttpQueue fetcher;
    const FetchResult single = fetchOnce(fetcher, at(service, "/msq?cn_600519"));
    QVERIFY(single.ok);
    const QuoteReply one = ParseQuoteReply(single.text);
    if (quotes.count("sh600519"))
        QCOMPARE(quotes.at("sh600519").price, *one.price);
}

void TestDemoService::faults_data()
{
    QTest::addColumn<DemoFault>("fault");
    QTest::addColumn<bool>("everyCode");
    QTest::addColumn<QByteArray>("badPath");
    QTest::addColumn<QByteArray>("goodPath");
    const QByteArray single = "/msq?cn_600000", other = "/msq?cn_600036";
    QTest::newRow("500 for one code") << DemoFault::ServerError << false << single << other;
    QTest::newRow("one code hangs") << DemoFault::Hang << false << single << other;
    QTest::newRow("every code hangs") << DemoFault::Hang << true << single << other;
    QTest::newRow("a batch holding the hanging code")
        << DemoFault::Hang << false << QByteArray("/q=sz000001,sh600000")
        << QByteArray("/q=sz000001,sh600036");
    QTest::newRow("a batch holding the failing code")
        << DemoFault::ServerError << false << QByteArray("/q=sh600000")
        << QByteArray("/q=sh600036");
    QTest::newRow("every batch hangs")
        << DemoFault::Hang << true << QByteArray("/q=sh600000") << QByteArray("/q=sh600036");
}

void TestDemoService::faults()
{
    QFETCH(DemoFault, fault);
    QFETCH(bool, everyCode);
    QFETCH(QByteArray, badPath);
    QFETCH(QByteArray, goodPath);

    DemoQuoteService service;
    QVERIFY(service.start());
    if (everyCode)
        service.setFaultForEveryCode(fault);
    else
        service.setFault("600000", fault);
    HttpQueue fetcher;
    fetcher.setTimeoutMs(300);

    const FetchResult bad = fetchOnce(fetcher, at(service, badPath.constData()));
    QVERIFY(!bad.ok);
    QVERIFY(bad.text.empty());
    const FetchResult other = fetchOnce(fetcher, at(service, goodPath.constData()));
    QCOMPARE(other.ok, !everyCode);
    QCOMPARE(service.quoteRequests(), 2);

    service.setFault("600000", DemoFault::None);
    service.setFaultForEveryCode(DemoFault::None);
    QVERIFY(fetchOnce(fetcher, at(service, badPath.constData())).ok);
}

void TestDemoService::latencyAndClientsThatLeave()
{
    DemoQuoteService service;
    QVERIFY(service.start());
    service.setLatencyMs(150);
    {
        // Clients that give up before the delayed answer: the service must not write to
        // their closed connections.
        HttpQueue impatient;
        for (int i = 0; i < 6; ++i)
            impatient.fetch(at(service, "/msq?cn_600000"));
        QTRY_COMPARE(service.quoteRequests(), 6);
        impatient.abortAll();
    }
    QTest::qWait(300);
    HttpQueue fetcher;
    const FetchResult late = fetchOnce(fetcher, at(service, "/msq?cn_000001"));
    QVERIFY(late.ok);
    QCOMPARE(QString::fromStdString(*ParseQuoteReply(late.text).name),
             QStringLiteral("杉屿医药"));
}

QTEST_GUILESS_MAIN(TestDemoService)
#include "test_demoservice.moc"
