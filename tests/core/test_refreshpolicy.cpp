#include "core/refreshpolicy.h"

#include <QTest>

using namespace velmora;

namespace {

// Monday 2024-06-03 in Shanghai, as Unix seconds.
constexpr qint64 kMonday1000 = 1717380000;
constexpr qint64 kMonday2000 = 1717416000;

} // namespace

class TestRefreshPolicy : public QObject
{
    Q_OBJECT

private slots:
    void backoff_data();
    void backoff();
    void oneBlipOneFailure();
    void retryAfter_data();
    void retryAfter();
    void askPace_data();
    void askPace();
    void quoteDate_data();
    void quoteDate();
};

void TestRefreshPolicy::backoff_data()
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

// The batches of one tick, and the other poller's requests, fail together in one network blip:
// only requests sent after the failure already counted count again.
void TestRefreshPolicy::oneBlipOneFailure()
{
    SourceBackoff backoff;
    const qint64 sent = 1'000'000;
    for (int batch = 0; batch < 6; ++batch)
        backoff.failed(sent + 300 + batch, sent, 8, std::nullopt);
    QCOMPARE(backoff.failuresInARow(), 1);
    QCOMPARE(backoff.nextTryMs(), sent + 300 + 16'000); // two intervals after the first failure
    backoff.failed(sent + 20'000, sent + 16'000, 8, std::nullopt); // asked again after the wait
    QCOMPARE(backoff.failuresInARow(), 2);
}

void TestRefreshPolicy::backoff()
{
    QFETCH(int, interval);
    QFETCH(int, retryAfter);
    QFETCH(QList<int>, waits);
    SourceBackoff backoff;
    qint64 now = 1'000'000; // ms on the steady clock
    QVERIFY(backoff.mayAsk(now));
    for (int wait : waits) {
        backoff.failed(now, now, interval, retryAfter < 0 ? std::nullopt : std::optional(retryAfter));
        QCOMPARE(backoff.nextTryMs() - now, qint64(wait) * 1000);
        QVERIFY(!backoff.mayAsk(now + wait * 1000 - 1));
        QVERIFY(backoff.mayAsk(now + wait * 1000));
        now += wait * 1000;
    }
    backoff.succeeded();
    QVERIFY(backoff.mayAsk(now));
    backoff.failed(now, now, interval, std::nullopt);
    QCOMPARE(backoff.nextTryMs() - now, qint64(2 * interval) * 1000);
}

void TestRefreshPolicy::retryAfter_data()
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

void TestRefreshPolicy::retryAfter()
{
    QFETCH(QByteArray, header);
    QFETCH(int, seconds);
    // 30 s before Sun, 06 Nov 1994 08:49:37 GMT.
    const auto got = ParseRetryAfter(header.toStdString(), 784111777 - 30);
    QCOMPARE(got.value_or(-1), seconds);
}

void TestRefreshPolicy::askPace_data()
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

void TestRefreshPolicy::askPace()
{
    QFETCH(qint64, now);
    QFETCH(int, lastAskAgo);
    QFETCH(bool, forced);
    QFETCH(bool, slowDown);
    QFETCH(bool, ask);
    MarketWatch watch;
    const qint64 steady = 5'000'000; // the steady clock shares no origin with the wall clock
    if (lastAskAgo >= 0)
        watch.asked(steady - lastAskAgo * 1000);
    QCOMPARE(watch.shouldAsk(now, steady, forced, slowDown), ask);
}

void TestRefreshPolicy::quoteDate_data()
{
    // The quotes of successive ticks, "|" between ticks, "," between the quotes of one tick;
    // "0@" before a date marks a quote without a trade (a zero price).
    QTest::addColumn<QByteArray>("ticks");
    QTest::addColumn<bool>("open");
    QTest::newRow("today's quotes") << QByteArray("2024-06-03") << true;
    QTest::newRow("only the last trading day's quotes: a holiday")
        << QByteArray("2024-05-31,2024-05-31") << false;
    QTest::newRow("one stale quote last in the tick: still open")
        << QByteArray("2024-06-03,2024-06-03,2023-09-08") << true;
    QTest::newRow("one stale quote first in the tick: still open")
        << QByteArray("2023-09-08,2024-06-03") << true;
    QTest::newRow("a zero price dated today tells nothing")
        << QByteArray("0@2024-06-03,2024-05-31") << false;
    QTest::newRow("an empty date tells nothing") << QByteArray("") << true;
    QTest::newRow("holiday stays through a tick that tells nothing")
        << QByteArray("2024-05-31||") << false;
    QTest::newRow("a quote of today opens it again")
        << QByteArray("2024-05-31|2024-06-03") << true;
}

void TestRefreshPolicy::quoteDate()
{
    QFETCH(QByteArray, ticks);
    QFETCH(bool, open);
    MarketWatch watch;
    for (const QByteArray &tick : ticks.split('|')) {
        watch.tickBegins(kMonday1000);
        for (const QByteArray &quote : tick.split(',')) {
            const bool traded = !quote.startsWith("0@");
            watch.sawQuote(quote.mid(traded ? 0 : 2).toStdString(), traded, kMonday1000);
        }
    }
    watch.tickBegins(kMonday1000 + 60);
    watch.asked(0);
    QCOMPARE(watch.marketOpen(kMonday1000 + 60), open);
    QCOMPARE(watch.shouldAsk(kMonday1000 + 60, 60'000, false, true), open);
    // A holiday is that day's: the next morning starts open.
    QVERIFY(watch.marketOpen(kMonday1000 + 86400));
}

QTEST_GUILESS_MAIN(TestRefreshPolicy)
#include "test_refreshpolicy.moc"
