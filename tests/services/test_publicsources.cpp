#include "core/watchliststore.h"
#include "services/quoterefresh.h"
#include "services/sourcepolicy.h"
#include "support/brokenserver.h"
#include "support/sources.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QFont>
#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::QuoteSourceKind)

namespace {

// 2026-12-07 is a Monday: 10:00 trades, 12:00 is the lunch break; Shanghai is UTC+8.
constexpr std::int64_t kMonday10 = 1796608800;
constexpr std::int64_t kSaturday10 = kMonday10 + 5 * 86400;

// One line of the first page: 35 fields, name 1, price 3, previous close 4, time 30, change 31,
// percent 32, high 33, low 34.
QByteArray tencentLine(const QByteArray &symbol, const QByteArray &name, const QByteArray &price,
                       const QByteArray &percent, const QByteArray &day = "20261207")
{
    QList<QByteArray> fields(35, "0");
    fields[1] = name;
    fields[2] = symbol.mid(2);
    fields[3] = price;
    fields[4] = "10.00";
    fields[30] = day + "100000";
    fields[32] = percent;
    fields[33] = "10.900";
    fields[34] = "9.800";
    return "v_" + symbol + "=\"" + fields.join('~') + "\";\n";
}

// One line of the second page: name 0, previous close 2, price 3, high 4, low 5, date 30,
// time 31.
QByteArray sinaLine(const QByteArray &symbol, const QByteArray &name, const QByteArray &price)
{
    QList<QByteArray> fields(33, "0");
    fields[0] = name;
    fields[2] = "10.000";
    fields[3] = price;
    fields[4] = "10.900";
    fields[5] = "9.800";
    fields[30] = "2026-12-07";
    fields[31] = "10:00:00";
    return "var hq_str_" + symbol + "=\"" + fields.join(',') + "\";\n";
}

// A line of count fields separated by separator, "0" where the reader does not look.
QByteArray pageLine(const QByteArray &head, char separator, int count,
                    const QList<std::pair<int, QByteArray>> &set)
{
    QList<QByteArray> fields(count, "0");
    for (const auto &[at, value] : set)
        fields[at] = value;
    return head + "=\"" + fields.join(separator) + "\";\n";
}

// One stock of each kind, and its lines on both pages on Monday 2026-12-07: the price, the
// previous close, and the change in percent and as an amount.
struct MarketStock
{
    QByteArray code, tencent, sina, name, price, previous, percent, change;
    int market; // 0 A-shares, 1 Hong Kong, 2 US
};
const QList<MarketStock> kMixedList = {
    {"00700", "r_hk00700", "rt_hk00700", "腾讯控股", "380.20", "375.00", "1.39", "5.20", 1},
    {"hk09988", "r_hk09988", "rt_hk09988", "阿里巴巴", "80.00", "82.00", "-2.44", "-2.00", 1},
    {"AAPL", "usAAPL", "gb_aapl", "苹果", "195.89", "197.10", "-0.61", "-1.21", 2},
    {"usTSLA", "usTSLA", "gb_tsla", "特斯拉", "250.00", "240.00", "4.17", "10.00", 2},
    {"510300", "sh510300", "sh510300", "沪深300ETF", "3.900", "3.850", "1.30", "0.05", 0},
    {"159919", "sz159919", "sz159919", "300ETF", "4.000", "4.100", "-2.44", "-0.10", 0},
    {"sz399001", "sz399001", "sz399001", "深证成指", "9800.00", "10000.00", "-2.00", "-200.00", 0},
    {"600000", "sh600000", "sh600000", "甲股份", "10.50", "10.00", "5.00", "0.50", 0},
};

// The two pages' replies to the mixed list: one request per market, A-shares first.
QList<std::pair<QByteArray, QByteArray>> mixedReplies(bool tencent)
{
    QList<QByteArray> targets(3), replies(3);
    for (const MarketStock &s : kMixedList) {
        const QByteArray symbol = tencent ? s.tencent : s.sina;
        targets[s.market] += (targets[s.market].isEmpty() ? "" : ",") + symbol;
        const QByteArray high = "10000.50", low = "3.10";
        if (tencent) {
            const QByteArray time = s.market == 0 ? "20261207100000"
                                    : s.market == 1 ? "2026/12/07 10:00:00"
                                                    : "2026-12-07 10:00:00";
            replies[s.market] += pageLine("v_" + symbol, '~', s.market == 0 ? 88 : s.market == 1 ? 78 : 71,
                                          {{1, s.name}, {3, s.price}, {4, s.previous}, {30, time},
                                           {31, s.change}, {32, s.percent}, {33, high}, {34, low}});
        } else if (s.market == 0) {
            replies[0] += pageLine("var hq_str_" + symbol, ',', 33,
                                   {{0, s.name}, {2, s.previous}, {3, s.price}, {4, high}, {5, low},
                                    {30, "2026-12-07"}, {31, "10:00:00"}});
        } else if (s.market == 1) {
            replies[1] += pageLine("var hq_str_" + symbol, ',', 24,
                                   {{0, "EN"}, {1, s.name}, {3, s.previous}, {4, high}, {5, low},
                                    {6, s.price}, {7, s.change}, {8, s.percent},
                                    {17, "2026/12/07"}, {18, "10:00:00"}});
        } else {
            replies[2] += pageLine("var hq_str_" + symbol, ',', 30,
                                   {{0, s.name}, {1, s.price}, {2, s.percent},
                                    {3, "2026-12-07 23:00:00"}, {4, s.change}, {6, high}, {7, low},
                                    {26, s.previous}});
        }
    }
    QList<std::pair<QByteArray, QByteArray>> out;
    for (int m = 0; m < 3; ++m)
        out.append({(tencent ? "/q=" : "/list=") + targets[m], replies[m]});
    return out;
}

// A list on disk, a refresh of it asking the pages served by the broken server, and a clock
// the test sets.
struct Rig
{
    explicit Rig(const QUrl &base, QuoteSourceKind kind, const QByteArray &codes)
        : list(pathOf(dir)), sources(MakeSources(base, kind)), refresh(list, *sources),
          answered(&refresh, &QuoteRefresh::answered)
    {
        sources->setClock([this] { return now; });
        writeFile(pathOf(dir) / kCodeFileName, codes.toStdString());
        list.load();
    }

    // One tick, and its answers once the requests it sent have ended.
    [[nodiscard]] bool tick(BrokenServer &server, int requests)
    {
        const int before = server.requestCount();
        refresh.refreshAll();
        return QTest::qWaitFor([&] {
            return server.requestCount() >= before + requests && refresh.waitingRows() == 0;
        }, 10000);
    }

    QString row(int position) const
    {
        QStringList cells;
        for (int column = WatchList::Name; column <= WatchList::Change; ++column)
            cells << list.text(position, column);
        const int colour = list.index(position, 0).data(WatchList::ColourRole).toInt();
        const char *names[] = {"", "|#ff0000", "|#0000ff"}; // default, red, blue
        return cells.join(QLatin1Char('|')) + QLatin1String(names[colour]);
    }

    std::int64_t now = kMonday10;
    QTemporaryDir dir;
    WatchList list;
    std::unique_ptr<SourcePolicy> sources;
    QuoteRefresh refresh;
    QSignalSpy answered;
};

} // namespace

class TestPublicSources : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsFilledFromOneRequestPerBatch_data();
    void rowsFilledFromOneRequestPerBatch();
    void autoFallsBackAtOnceAndBacksOff();
    void closedMarketIsAskedRarely_data();
    void closedMarketIsAskedRarely();
    void staleQuotesInItalics();
    void refusalIsAFailure_data();
    void refusalIsAFailure();
    void waitsSurviveAClockStepBack();
    void everyMarketFillsItsRows_data();
    void everyMarketFillsItsRows();

private:
    std::unique_ptr<BrokenServer> m_server;
};

void TestPublicSources::init()
{
    m_server = std::make_unique<BrokenServer>();
    QVERIFY(m_server->start());
}

void TestPublicSources::cleanup()
{
    m_server.reset();
}

void TestPublicSources::rowsFilledFromOneRequestPerBatch_data()
{
    QTest::addColumn<QuoteSourceKind>("kind");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("rows");
    // The codes (see the test): a bank, a code asked twice, an index written with its market,
    // one nobody knows, and one that cannot be asked at all.
    QTest::newRow("first page, lines by their own name") << QuoteSourceKind::Tencent
        << QByteArray("/q=sz000001,sh600000,sh000001,sh688999")
        << tencentLine("sh000001", "上证指数", "3100.500", "1.55") +
               "v_pv_none_match=\"1\";\n" + tencentLine("sz000001", "乙股份", "9.650", "-2.86") +
               tencentLine("sh600000", "甲股份", "10.500", "0.00")
        << QStringList{"乙股份|9.65|10.90|9.80|-2.86%|#0000ff", "甲股份|10.50|10.90|9.80|0.00%|#ff0000",
                       "上证指数|3100.50|10.90|9.80|1.55%|#ff0000", "甲股份|10.50|10.90|9.80|0.00%|#ff0000",
                       "|||||#ff0000", "|||||#ff0000"};
    QTest::newRow("second page, change worked out") << QuoteSourceKind::Sina
        << QByteArray("/list=sz000001,sh600000,sh000001,sh688999")
        << sinaLine("sz000001", "乙股份", "9.714") + sinaLine("sh600000", "甲股份", "10.155") +
               "var hq_str_sh688999=\"\";\n" + sinaLine("sh000001", "上证指数", "10.000")
        << QStringList{"乙股份|9.714|10.90|9.80|-2.86%|#0000ff", "甲股份|10.155|10.90|9.80|1.55%|#ff0000",
                       "上证指数|10.00|10.90|9.80|0.00%|#ff0000", "甲股份|10.155|10.90|9.80|1.55%|#ff0000",
                       "|||||#ff0000", "|||||#ff0000"};
}

void TestPublicSources::rowsFilledFromOneRequestPerBatch()
{
    QFETCH(QuoteSourceKind, kind);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, rows);
    m_server->setReply(target, reply);
    Rig rig(m_server->baseUrl(), kind, "000001\r\n600000\r\nSH000001\r\n600000\r\n688999\r\n7\r\n");
    QVERIFY(rig.tick(*m_server, 1));
    QCOMPARE(m_server->targets(), QList<QByteArray>{target});
    for (int position = 0; position < rows.size(); ++position)
        QCOMPARE(rig.row(position), rows[position]);
    // Why the last row has no quote, and how fresh the others are, in their tooltips.
    QVERIFY(rig.list.index(5, 0).data(Qt::ToolTipRole).toString().contains("无法识别的股票代码"));
    QVERIFY(rig.list.index(0, 2).data(Qt::ToolTipRole).toString().contains("\n人民币 · 行情时间 2026-12-07 10:00:00 (上海)"));
    const bool referer = m_server->heads().first().contains("Referer: https://finance.sina.com.cn/\r\n");
    QCOMPARE(referer, kind == QuoteSourceKind::Sina);
    QCOMPARE(rig.refresh.status().left(10), kind == QuoteSourceKind::Sina ? "行情来源：新浪，最近" : "行情来源：腾讯，最近");

    // Sixty-one codes need two requests.
    QByteArray many;
    for (int i = 0; i < 61; ++i)
        many += QByteArray::number(600000 + i) + "\r\n";
    Rig big(m_server->baseUrl(), kind, many);
    m_server->clearLog();
    QVERIFY(big.tick(*m_server, 2));
    QCOMPARE(m_server->targets().size(), 2);
    QCOMPARE(m_server->targets().last(), kind == QuoteSourceKind::Sina ? "/list=sh600060" : "/q=sh600060");
}

// The first page fails: the same codes go to the second at once, in the same refresh, and the
// first is left alone for two intervals.
void TestPublicSources::autoFallsBackAtOnceAndBacksOff()
{
    m_server->setBehaviour("/q=sh600000", Behaviour::ServerError);
    m_server->setReply("/list=sh600000", sinaLine("sh600000", "甲股份", "10.500"));
    m_server->setReply("/q=sh600000", tencentLine("sh600000", "甲股份", "10.600", "6.00"));
    Rig rig(m_server->baseUrl(), QuoteSourceKind::Auto, "600000\r\n");
    QVERIFY(rig.tick(*m_server, 2));
    QCOMPARE(m_server->targets(), (QList<QByteArray>{"/q=sh600000", "/list=sh600000"}));
    QCOMPARE(rig.row(0), "甲股份|10.50|10.90|9.80|5.00%|#ff0000");

    m_server->setBehaviour("/q=sh600000", Behaviour::Proper);
    m_server->clearLog();
    rig.now += 8;
    QVERIFY(rig.tick(*m_server, 1));
    QCOMPARE(m_server->targets(), QList<QByteArray>{"/list=sh600000"}); // the first backs off
    rig.now += 16;
    QVERIFY(rig.tick(*m_server, 1));
    QCOMPARE(m_server->targets().last(), "/q=sh600000"); // 2 intervals on: asked again
    QCOMPARE(rig.row(0), "甲股份|10.60|10.90|9.80|6.00%|#ff0000");

    // Both fail: nothing can be asked until the first may be again, and the tip says when.
    m_server->setBehaviour("/q=sh600000", Behaviour::ServerError);
    m_server->setBehaviour("/list=sh600000", Behaviour::ServerError);
    rig.now += 8;
    QVERIFY(rig.tick(*m_server, 2));
    QVERIFY(rig.refresh.status().startsWith("获取行情失败，下次尝试"));
    m_server->clearLog();
    rig.now += 8;
    rig.refresh.refreshAll();
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), 0);
}

void TestPublicSources::closedMarketIsAskedRarely_data()
{
    QTest::addColumn<std::int64_t>("start");
    QTest::addColumn<QByteArray>("quoteDay");
    QTest::addColumn<bool>("slowDown");
    QTest::addColumn<QList<int>>("asked"); // requests after each tick, 8 s apart, then at 5 min
    QTest::newRow("trading: every tick") << kMonday10 << QByteArray("20261207") << true << QList<int>{1, 2, 3, 4};
    QTest::newRow("Saturday: the first, then every five minutes")
        << kSaturday10 << QByteArray("20261211") << true << QList<int>{1, 1, 1, 2};
    QTest::newRow("lunch break") << kMonday10 + 7200 << QByteArray("20261207") << true << QList<int>{1, 1, 1, 2};
    QTest::newRow("a holiday: the quotes are from another day")
        << kMonday10 << QByteArray("20261204") << true << QList<int>{1, 1, 1, 2};
    QTest::newRow("slow-down switched off") << kSaturday10 << QByteArray("20261211") << false << QList<int>{1, 2, 3, 4};
}

void TestPublicSources::closedMarketIsAskedRarely()
{
    QFETCH(std::int64_t, start);
    QFETCH(QByteArray, quoteDay);
    QFETCH(bool, slowDown);
    QFETCH(QList<int>, asked);
    m_server->setReply("/q=sh600000", tencentLine("sh600000", "甲股份", "10.500", "5.00", quoteDay));
    Rig rig(m_server->baseUrl(), QuoteSourceKind::Tencent, "600000\r\n");
    UserSettings settings;
    settings.source = QuoteSourceKind::Tencent;
    settings.slowDownOutsideHours = slowDown;
    rig.sources->apply(settings);
    rig.now = start;
    QList<int> counts;
    for (const std::int64_t step : {0, 8, 8, 300}) {
        rig.now += step;
        rig.refresh.refreshAll();
        QTest::qWait(150);
        QTRY_COMPARE(rig.refresh.waitingRows(), 0);
        counts << m_server->requestCount();
    }
    QCOMPARE(counts, asked);

    // A new row is quoted at the next refresh, whatever the hour.
    QVERIFY(!rig.list.add({"600036", "", ""}));
    rig.refresh.refreshAll();
    QTRY_COMPARE(m_server->requestCount(), asked.last() + 1);
}

// A quote older than three intervals during trading hours is shown in italics.
void TestPublicSources::staleQuotesInItalics()
{
    m_server->setReply("/q=sh600000", tencentLine("sh600000", "甲股份", "10.500", "5.00"));
    Rig rig(m_server->baseUrl(), QuoteSourceKind::Tencent, "600000\r\n");
    QVERIFY(rig.tick(*m_server, 1));
    auto italic = [&] { return rig.list.index(0, 2).data(WatchList::StaleRole).toBool(); };
    QVERIFY(!italic());
    m_server->setBehaviour("/q=sh600000", Behaviour::Hang);
    rig.now += 8;
    rig.refresh.refreshAll(); // asked, never answered
    rig.now += 3 * 8 + 1;
    rig.refresh.refreshAll();
    QVERIFY(italic());
}

// A page that refuses answers 200 all the same; only a reply naming a code asked is one.
void TestPublicSources::refusalIsAFailure_data()
{
    QTest::addColumn<QuoteSourceKind>("kind");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("second page refuses") << QuoteSourceKind::Sina << QByteArray("/list=sh600000")
                                         << QByteArray("var hq_str_sys_auth=\"FAILED\";\n");
    QTest::newRow("an HTML page holding v_") << QuoteSourceKind::Tencent << QByteArray("/q=sh600000")
                                             << QByteArray("<html><body>v_x</body></html>");
    QTest::newRow("lines for other codes only")
        << QuoteSourceKind::Tencent << QByteArray("/q=sh600000")
        << tencentLine("sh600001", "丙股份", "10.500", "5.00");
}

void TestPublicSources::refusalIsAFailure()
{
    QFETCH(QuoteSourceKind, kind);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, reply);
    m_server->setReply(target, reply);
    Rig rig(m_server->baseUrl(), kind, "600000\r\n");
    QVERIFY(rig.tick(*m_server, 1));
    QVERIFY2(rig.refresh.status().startsWith("获取行情失败，下次尝试"), qPrintable(rig.refresh.status()));
    const QString tip = rig.list.index(0, 0).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.contains("127.0.0.1 没有返回行情，"), qPrintable(tip));
    rig.now += 8; // backing off: the next tick asks nothing
    rig.refresh.refreshAll();
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), 1);

    // In auto, a refusal of the first page sends the codes to the second at once.
    m_server->setReply("/list=sh600000", sinaLine("sh600000", "甲股份", "10.500"));
    Rig either(m_server->baseUrl(), QuoteSourceKind::Auto, "600000\r\n");
    if (kind == QuoteSourceKind::Tencent) {
        QVERIFY(either.tick(*m_server, 2));
        QCOMPARE(either.row(0), "甲股份|10.50|10.90|9.80|5.00%|#ff0000");
    }
}

// Waits run on a steady clock: a failure while the wall clock is 8 hours ahead, then the
// clock put right, does not silence the list for 8 hours.
void TestPublicSources::waitsSurviveAClockStepBack()
{
    m_server->setBehaviour("/q=sh600000", Behaviour::ServerError);
    Rig rig(m_server->baseUrl(), QuoteSourceKind::Tencent, "600000\r\n");
    std::int64_t steadyMs = 1'000'000;
    rig.sources->setClock([&rig] { return rig.now; }, [&steadyMs] { return steadyMs; });
    rig.now = kMonday10 + 8 * 3600;
    QVERIFY(rig.tick(*m_server, 1));
    m_server->setReply("/q=sh600000", tencentLine("sh600000", "甲股份", "10.500", "5.00"));
    m_server->setBehaviour("/q=sh600000", Behaviour::Proper);
    rig.now = kMonday10 + 16; // the clock is put right
    steadyMs += 16'000;       // two intervals later
    QVERIFY(rig.tick(*m_server, 1));
    QCOMPARE(rig.row(0), "甲股份|10.50|10.90|9.80|5.00%|#ff0000");
}

// A list of Hong Kong, US and A-share codes: each market's codes in a request of their own,
// every row filled from its own market's line, falls read as falls; and at 10:00 in New York on
// a Monday only the US codes are asked at every tick, the others at most once in 5 minutes.
void TestPublicSources::everyMarketFillsItsRows_data()
{
    QTest::addColumn<QuoteSourceKind>("kind");
    QTest::newRow("first page") << QuoteSourceKind::Tencent;
    QTest::newRow("second page") << QuoteSourceKind::Sina;
}

void TestPublicSources::everyMarketFillsItsRows()
{
    QFETCH(QuoteSourceKind, kind);
    const bool tencent = kind == QuoteSourceKind::Tencent;
    const auto replies = mixedReplies(tencent);
    for (const auto &[target, reply] : replies)
        m_server->setReply(target, reply);
    QByteArray codes;
    for (const MarketStock &s : kMixedList)
        codes += s.code + "\r\n";
    Rig rig(m_server->baseUrl(), kind, codes);
    rig.now = kMonday10 + 13 * 3600; // Monday 10:00 in New York, 23:00 in Shanghai and Hong Kong
    QVERIFY(rig.tick(*m_server, 3)); // the first tick asks every market
    const QList<QByteArray> asked = m_server->targets();
    QCOMPARE(QSet<QByteArray>(asked.begin(), asked.end()),
             (QSet<QByteArray>{replies[0].first, replies[1].first, replies[2].first}));
    for (int row = 0; row < kMixedList.size(); ++row) {
        const MarketStock &s = kMixedList[row];
        const bool falling = s.change.startsWith('-');
        const QString shown = rig.row(row);
        QVERIFY2(shown.startsWith(QString::fromUtf8(s.name + "|" + s.price.left(s.price.indexOf('.') + 3))),
                 qPrintable(shown));
        QVERIFY2(shown.endsWith(falling ? "#0000ff" : "#ff0000"), qPrintable(shown));
        QVERIFY2(shown.contains(QString::fromUtf8("|" + s.percent + "%|")), qPrintable(shown));
        QVERIFY2(shown.contains("|10000.50|3.10|"), qPrintable(shown));
    }

    // Each row's currency and its quote's own time on its own market's clock.
    const auto tip = [&rig](int row) { return rig.list.index(row, 2).data(Qt::ToolTipRole).toString(); };
    QVERIFY2(tip(0).contains("港元 · 行情时间 2026-12-07 10:00:00 (香港)"), qPrintable(tip(0)));
    QVERIFY2(tip(2).endsWith("美元 · 行情时间 2026-12-07 10:00:00 (纽约)"), qPrintable(tip(2)));
    QVERIFY2(tip(7).endsWith("人民币 · 行情时间 2026-12-07 10:00:00 (上海)"), qPrintable(tip(7)));

    // Then the US codes every tick, the rest once in 5 minutes.
    for (const int step : {8, 8}) {
        rig.now += step;
        m_server->clearLog();
        QVERIFY(rig.tick(*m_server, 1));
        QCOMPARE(m_server->targets(), QList<QByteArray>{replies[2].first});
    }
    rig.now += 300;
    m_server->clearLog();
    QVERIFY(rig.tick(*m_server, 3));
    // The page still says 10:00:00 five minutes on, while New York trades: marked as delayed.
    QVERIFY2(tip(2).endsWith("延时约 5 分钟"), qPrintable(tip(2)));
    QVERIFY(rig.list.index(2, 0).data(WatchList::StaleRole).toBool());
    QVERIFY(!rig.list.index(0, 0).data(WatchList::StaleRole).toBool()); // Hong Kong is closed
}

QTEST_MAIN(TestPublicSources)
#include "test_publicsources.moc"
