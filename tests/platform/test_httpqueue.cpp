#include "platform/httpqueue.h"
#include "core/quoteaddress.h"
#include "support/brokenserver.h"
#include "support/replies.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTcpServer>
#include <QTest>

using namespace velmora;
using velmora::testing::BrokenServer;
using velmora::testing::QuoteReplyText;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::testing::BrokenServer::Behaviour)

namespace {

// Waits for the one result of ticket; fails the test when none or another one comes.
FetchResult resultOf(QSignalSpy &spy, HttpQueue::Ticket ticket, int timeoutMs = 10000)
{
    if (spy.isEmpty() && !spy.wait(timeoutMs))
        return {false, {}, QStringLiteral("<no result>"), -1, {}, {}};
    const QList<QVariant> args = spy.takeFirst();
    if (args.at(0).value<HttpQueue::Ticket>() != ticket)
        return {false, {}, QStringLiteral("<result for another ticket>"), -1, {}, {}};
    return args.at(1).value<FetchResult>();
}

const QString kReply = QStringLiteral(
    "'x0','x1','示例股份','10.50','-1.23%','x5','x6','x7','x8','x9','x10','10.80','10.21'");

} // namespace

class TestHttpQueue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void faults_data();
    void faults();
    void resetNeighbourFailsOnlyItself();
    void nothingListening();
    void addressReachesServerUnchanged_data();
    void addressReachesServerUnchanged();
    void atMostSixInFlightInOrder();
    void timeoutCountsFromSending();
    void stuckNetworkLayerIsReplaced();
    void noCookieSentBack();
    void abortAllReportsNothing();
    void refusedAddressReportsLater_data();
    void refusedAddressReportsLater();

private:
    BrokenServer *m_server = nullptr;
};

void TestHttpQueue::init()
{
    m_server = new BrokenServer(this);
    QVERIFY(m_server->start());
}

void TestHttpQueue::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void TestHttpQueue::faults_data()
{
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body"); // when ok

    QTest::newRow("proper reply, GBK named") << Behaviour::Proper << true << 200 << kReply;
    QTest::newRow("GBK without charset") << Behaviour::GbkNoCharset << true << 200 << kReply;
    QTest::newRow("twelve fields")
        << Behaviour::FewFields << true << 200
        << QStringLiteral("'x0','x1','示例股份','10.50','-1.23%','x5','x6','x7','x8','x9','x10','10.80'");
    QTest::newRow("hanging server") << Behaviour::Hang << false << 0 << QString();
    QTest::newRow("connection reset") << Behaviour::Reset << false << 0 << QString();
    QTest::newRow("slow drip") << Behaviour::Drip << false << 200 << QString();
    QTest::newRow("500 with an HTML page") << Behaviour::ServerError << false << 500 << QString();
    QTest::newRow("5 MiB with its length") << Behaviour::Huge << false << 200 << QString();
    QTest::newRow("5 MiB without a length")
        << Behaviour::HugeUnannounced << false << 200 << QString();
}

void TestHttpQueue::faults()
{
    QFETCH(Behaviour, behaviour);
    QFETCH(bool, ok);
    QFETCH(int, status);
    QFETCH(QString, body);

    m_server->setReply("600001", QuoteReplyText("示例股份", "10.50", "-1.23%"));
    m_server->setBehaviour("600001", behaviour);
    m_server->setDripIntervalMs(20);
    HttpQueue fetcher;
    fetcher.setTimeoutMs(800); // the drip goes on far longer than this
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    const auto ticket = fetcher.fetch(m_server->quoteUrl("600001"));
    const FetchResult result = resultOf(spy, ticket);

    QCOMPARE(result.ok, ok);
    if (ok) {
        // The name comes out in Chinese whichever way the charset was learnt.
        QCOMPARE(QString::fromStdString(result.text), body);
        QVERIFY(result.error.isEmpty());
    } else {
        QVERIFY2(!result.error.isEmpty(), "a failure says why");
        QVERIFY(result.text.empty());
    }
    if (status != 0)
        QCOMPARE(result.status, status);
    QCOMPARE(m_server->requestCount() >= 1, true);
    QCOMPARE(fetcher.outstanding(), 0);
    // Exactly one result per fetch.
    QTest::qWait(50);
    QCOMPARE(spy.count(), 0);
}

void TestHttpQueue::resetNeighbourFailsOnlyItself()
{
    // The network layer fails requests still waiting for a connection when another connection
    // to the same host is reset; those must not come back as failures.
    m_server->setBehaviour("reset", Behaviour::Reset);
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    for (int round = 0; round < 200; ++round) {
        QHash<HttpQueue::Ticket, QByteArray> codeOf;
        for (const char *code : {"600001", "reset", "600003"})
            codeOf.insert(fetcher.fetch(m_server->quoteUrl(code)), code);
        while (spy.count() < 3)
            QVERIFY(spy.wait(10000));
        for (const auto &args : std::as_const(spy)) {
            const QByteArray code = codeOf.value(args.at(0).value<HttpQueue::Ticket>());
            const FetchResult r = args.at(1).value<FetchResult>();
            QVERIFY2(r.ok == (code != "reset"),
                     qPrintable(QStringLiteral("round %1, %2: %3").arg(round).arg(QString::fromLatin1(code), r.error)));
        }
        spy.clear();
    }
    // Sent again only when they had never gone out: the server saw each once per round.
    QCOMPARE(m_server->keys().count("600001"), 200);
    QCOMPARE(m_server->keys().count("600003"), 200);
}

void TestHttpQueue::nothingListening()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();

    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    const auto ticket =
        fetcher.fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/msq?cn_600000").arg(port)));
    const FetchResult result = resultOf(spy, ticket);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
}

void TestHttpQueue::addressReachesServerUnchanged_data()
{
    QTest::addColumn<QByteArray>("code");
    QTest::newRow("six digits") << QByteArray("600000");
    QTest::newRow("trailing blank") << QByteArray("600000 ");
    QTest::newRow("hash") << QByteArray("600#00");
    QTest::newRow("CR LF and a header") << QByteArray("600000\r\nX-Evil: 1");
    QTest::newRow("UTF-8 Chinese") << QByteArray("中国");
    QTest::newRow("GBK bytes") << QByteArray("\xD6\xD0");
    QTest::newRow("percent and plus") << QByteArray("%41+1");
}

void TestHttpQueue::addressReachesServerUnchanged()
{
    QFETCH(QByteArray, code);
    const std::string url =
        BuildQuoteUrl(m_server->baseUrl().toString(QUrl::FullyEncoded).toStdString(),
                      code.toStdString());
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    const auto ticket =
        fetcher.fetch(QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode));
    QVERIFY(resultOf(spy, ticket).ok);

    QCOMPARE(m_server->targets().size(), 1);
    QCOMPARE(m_server->targets().at(0),
             "/msq?cn_" + QByteArray::fromStdString(PercentEncodeCode(code.toStdString())));
    QCOMPARE(m_server->keys().at(0), code);
    QVERIFY2(!m_server->heads().at(0).contains("\r\nX-Evil"), "no header smuggled in");
}

void TestHttpQueue::atMostSixInFlightInOrder()
{
    QList<QByteArray> codes;
    for (int i = 0; i < 10; ++i) {
        codes << "60000" + QByteArray::number(i);
        m_server->setBehaviour(codes.last(), Behaviour::Hold);
    }
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    QList<HttpQueue::Ticket> tickets;
    for (const QByteArray &code : codes)
        tickets << fetcher.fetch(m_server->quoteUrl(code));

    QTRY_COMPARE(m_server->openRequests(), 6);
    QTest::qWait(200); // give a seventh request every chance to show up
    QCOMPARE(m_server->requestCount(), 6);
    QCOMPARE(fetcher.inFlight(), 6);
    QCOMPARE(fetcher.outstanding(), 10);

    QCOMPARE(m_server->releaseHeld(), 6);
    QTRY_COMPARE(m_server->requestCount(), 10);
    QTRY_COMPARE(m_server->releaseHeld() + spy.count(), 10);
    QTRY_COMPARE(spy.count(), 10);

    QCOMPARE(m_server->maxOpenRequests(), 6);
    QCOMPARE(m_server->keys(), codes); // sent in the order asked
    QList<HttpQueue::Ticket> reported;
    for (const auto &args : spy) {
        reported << args.at(0).value<HttpQueue::Ticket>();
        QVERIFY(args.at(1).value<FetchResult>().ok);
    }
    std::sort(reported.begin(), reported.end());
    QCOMPARE(reported, tickets);
    QCOMPARE(fetcher.outstanding(), 0);
}

void TestHttpQueue::timeoutCountsFromSending()
{
    // Seven requests, six slots: six hang, so the seventh goes out only when one of them has
    // timed out, and it is answered as soon as it arrives. Its time limit must start when it
    // was sent, not when it was queued, or it would be given up at once though its answer is
    // on the way.
    m_server->setDefaultBehaviour(Behaviour::Hang);
    m_server->setBehaviour("c7", Behaviour::Hold);
    connect(m_server, &BrokenServer::requestArrived, this, [this](const QByteArray &key) {
        if (key == "c7")
            QMetaObject::invokeMethod(m_server, &BrokenServer::releaseHeld, Qt::QueuedConnection);
    });
    HttpQueue fetcher;
    fetcher.setTimeoutMs(1000);
    QStringList events;
    connect(m_server, &BrokenServer::requestArrived, this, [&events](const QByteArray &key) {
        events << QString("sent ") + QString::fromLatin1(key);
    });
    QHash<HttpQueue::Ticket, QString> codeOf;
    connect(&fetcher, &HttpQueue::finished, this,
            [&](HttpQueue::Ticket ticket, const FetchResult &result) {
                events << QLatin1String(result.ok ? "ok " : "failed ") + codeOf.value(ticket);
            });
    for (int i = 1; i <= 7; ++i) {
        const QByteArray code = "c" + QByteArray::number(i);
        codeOf.insert(fetcher.fetch(m_server->quoteUrl(code)), QString::fromLatin1(code));
    }
    QTRY_COMPARE_WITH_TIMEOUT(events.size(), 14, 10000);
    const QString log = events.join(QLatin1Char(','));
    QVERIFY2(events.contains(QStringLiteral("ok c7")), qPrintable(log));
    QCOMPARE(events.filter(QStringLiteral("failed")).size(), 6);
    QVERIFY2(events.indexOf(QRegularExpression(QStringLiteral("failed c[1-6]"))) <
                 events.indexOf(QStringLiteral("sent c7")),
             qPrintable(log));
}

void TestHttpQueue::stuckNetworkLayerIsReplaced()
{
    // The network layer holds at most six connections per host. With eight requests allowed
    // in flight and six of them hanging, the seventh never goes on the wire: a request that
    // reaches its time limit unsent is what a stuck layer looks like. The fetcher must then
    // carry on through a fresh one, so the eighth, asked afterwards, is answered while the six
    // still hang.
    m_server->setDefaultBehaviour(Behaviour::Hang);
    m_server->setBehaviour("600007", Behaviour::Proper);
    m_server->setBehaviour("600008", Behaviour::Proper);
    HttpQueue fetcher;
    fetcher.setMaxInFlight(8);
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    fetcher.setTimeoutMs(60000);
    for (int i = 1; i <= 6; ++i)
        fetcher.fetch(m_server->quoteUrl("60000" + QByteArray::number(i)));
    QTRY_COMPARE(m_server->keys().size(), 6);
    fetcher.setTimeoutMs(300);
    const auto stuck = fetcher.fetch(m_server->quoteUrl("600007"));
    QVERIFY(!resultOf(spy, stuck).ok);
    QVERIFY(!m_server->keys().contains("600007"));

    fetcher.setTimeoutMs(5000);
    const FetchResult next = resultOf(spy, fetcher.fetch(m_server->quoteUrl("600008")));
    QVERIFY2(next.ok, qPrintable(next.error));
    QCOMPARE(fetcher.inFlight(), 6); // the six hanging ones still run on the old connections
}

void TestHttpQueue::noCookieSentBack()
{
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    QVERIFY(resultOf(spy, fetcher.fetch(m_server->quoteUrl("600000"))).ok);
    QVERIFY(resultOf(spy, fetcher.fetch(m_server->quoteUrl("600000"))).ok);
    QCOMPARE(m_server->heads().size(), 2);
    for (const QByteArray &head : m_server->heads()) {
        QVERIFY2(!head.toLower().contains("\ncookie:"), head.constData());
        QVERIFY2(!head.toLower().contains("\nauthorization:"), head.constData());
    }
}

void TestHttpQueue::abortAllReportsNothing()
{
    m_server->setDefaultBehaviour(Behaviour::Hang);
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    for (int i = 0; i < 9; ++i)
        fetcher.fetch(m_server->quoteUrl("60000" + QByteArray::number(i)));
    QTRY_COMPARE(m_server->openRequests(), 6);
    fetcher.fetch(QUrl(QStringLiteral("file:///etc/hostname"))); // refused, not yet reported
    fetcher.abortAll();
    QCOMPARE(fetcher.outstanding(), 0);
    QTRY_COMPARE(m_server->openRequests(), 0); // the connections were really closed
    QTest::qWait(100);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_server->requestCount(), 6); // the queued ones never went out
}

void TestHttpQueue::refusedAddressReportsLater_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::newRow("local file") << QUrl(QStringLiteral("file:///etc/hostname"));
    QTest::newRow("data address") << QUrl(QStringLiteral("data:text/plain,a,b,c,d,e"));
    QTest::newRow("no host") << QUrl(QStringLiteral("http:///msq?cn_600000"));
    QTest::newRow("empty") << QUrl();
}

void TestHttpQueue::refusedAddressReportsLater()
{
    QFETCH(QUrl, url);
    HttpQueue fetcher;
    QSignalSpy spy(&fetcher, &HttpQueue::finished);
    const auto ticket = fetcher.fetch(url);
    QCOMPARE(spy.count(), 0); // never inside fetch(): the caller has not noted the ticket yet
    QCOMPARE(fetcher.outstanding(), 1);
    const FetchResult result = resultOf(spy, ticket);
    QVERIFY(!result.ok);
    QVERIFY(result.text.empty());
    QCOMPARE(fetcher.outstanding(), 0);
}

QTEST_GUILESS_MAIN(TestHttpQueue)
#include "test_httpqueue.moc"
