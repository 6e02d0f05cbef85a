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

void TestRefreshPolicy::backoff()
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
    if (lastAskAgo >= 0)
        watch.asked(now - lastAskAgo);
    QCOMPARE(watch.shouldAsk(now, forced, slowDown), ask);
}

void TestRefreshPolicy::quoteDate_data()
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

void TestRefreshPolicy::quoteDate()
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

QTEST_GUILESS_MAIN(TestRefreshPolicy)
#include "test_refreshpolicy.moc"
