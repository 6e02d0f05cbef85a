// How often the one poller behind the refresh and the alert monitor asks, on a clock the test
// sets: which ticks send requests, and which ticks are heard to the end.
#include "core/watchliststore.h"
#include "services/quotebatcher.h"
#include "services/quotepoller.h"
#include "support/brokenserver.h"
#include "support/sources.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;

Q_DECLARE_METATYPE(velmora::QuoteSourceKind)

namespace {

// 2026-12-07 is a Monday; Shanghai is UTC+8.
constexpr qint64 kMonday10 = 1796608800;
constexpr qint64 kMonday20 = kMonday10 + 10 * 3600;

// The first page's lines for these symbols, dated that Monday.
QByteArray tencentReply(const QList<QByteArray> &symbols)
{
    QByteArray reply;
    for (const QByteArray &symbol : symbols) {
        QList<QByteArray> fields(35, "1");
        fields[30] = "20261207100000";
        reply += "v_" + symbol + "=\"" + fields.join('~') + "\";\n";
    }
    return reply;
}

} // namespace

class TestQuotePoller : public QObject
{
    Q_OBJECT

private slots:
    void pace_data();
    void pace();
};

void TestQuotePoller::pace_data()
{
    QTest::addColumn<QuoteSourceKind>("kind");
    QTest::addColumn<qint64>("clock");
    QTest::addColumn<QByteArray>("hanging"); // a request key that is never answered
    QTest::addColumn<bool>("addRowAfterFirstTick");
    QTest::addColumn<QList<int>>("requests"); // sent by each of three ticks, 8 s apart
    QTest::addColumn<int>("ticksHeard");      // ticks whose every request was answered

    using K = QuoteSourceKind;
    QTest::newRow("custom service: every row at every tick")
        << K::Custom << kMonday20 << QByteArray() << false << QList<int>{2, 2, 2} << 3;
    QTest::newRow("custom service: a hanging row is not asked again")
        << K::Custom << kMonday20 << QByteArray("000001") << false << QList<int>{2, 1, 1} << 2;
    QTest::newRow("page while the market trades: every tick")
        << K::Tencent << kMonday10 << QByteArray() << false << QList<int>{1, 1, 1} << 3;
    QTest::newRow("page in the evening: once, then every 5 minutes")
        << K::Tencent << kMonday20 << QByteArray() << false << QList<int>{1, 0, 0} << 3;
    QTest::newRow("page in the evening: a new row is asked at once")
        << K::Tencent << kMonday20 << QByteArray() << true << QList<int>{1, 1, 0} << 3;
}

void TestQuotePoller::pace()
{
    QFETCH(QuoteSourceKind, kind);
    QFETCH(qint64, clock);
    QFETCH(QByteArray, hanging);
    QFETCH(bool, addRowAfterFirstTick);
    QFETCH(QList<int>, requests);
    QFETCH(int, ticksHeard);

    BrokenServer server;
    QVERIFY(server.start());
    server.setReply("/q=sh600000,sz000001", tencentReply({"sh600000", "sz000001"}));
    server.setReply("/q=sh600000,sz000001,sz300750",
                    tencentReply({"sh600000", "sz000001", "sz300750"}));
    if (!hanging.isEmpty())
        server.setBehaviour(hanging, BrokenServer::Behaviour::Hang);
    QTemporaryDir dir;
    writeFile(pathOf(dir) / kCodeFileName, "600000\r\n000001\r\n");
    WatchList list(pathOf(dir));
    QVERIFY(!list.load());
    const auto policy = MakeSources(server.baseUrl(), kind);
    std::int64_t now = clock;
    policy->setClock([&now] { return now; });
    QuotePoller poller(list, *policy, "timer", "queue");
    QSignalSpy heard(&poller, &QuotePoller::pollAnswered);

    for (int tick = 0; tick < requests.size(); ++tick) {
        const int before = server.requestCount();
        poller.poll();
        QTRY_COMPARE(server.requestCount() - before, requests[tick]);
        QTest::qWait(50); // nothing more follows
        QCOMPARE(server.requestCount() - before, requests[tick]);
        QTRY_COMPARE(poller.waitingRows(), hanging.isEmpty() ? 0 : 1);
        if (tick == 0 && addRowAfterFirstTick)
            QVERIFY(!list.add({"300750", "", ""}));
        now += 8;
    }
    QCOMPARE(heard.count(), ticksHeard);
}

QTEST_GUILESS_MAIN(TestQuotePoller)
#include "test_quotepoller.moc"
