#include "core/watchliststore.h"
#include "services/alertmonitor.h"
#include "support/brokenserver.h"
#include "support/replies.h"
#include "support/sources.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

using namespace velmora;
using namespace velmora::testing;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::testing::BrokenServer::Behaviour)

namespace {

// A reply whose latest price (field 3) is price.
QByteArray quote(const QByteArray &price, const QByteArray &name = "服务器名称")
{
    return QuoteReplyText(name, price);
}

// A list read from its files and its alert monitor, ticked by hand; every alert it raises is
// kept as "code|name|price|threshold|caption".
struct Rig
{
    Rig(const QUrl &base, const WatchEntries &entries)
        : list(pathOf(dir)), sources(MakeSources(base)), monitor(list, *sources), checked(&monitor, &AlertMonitor::checked)
    {
        RewriteWatchFiles(pathOf(dir), entries);
        list.load();
        QObject::connect(&monitor, &AlertMonitor::alertRaised, [this](const AlertNotice &alert) {
            alerts << QStringList{alert.code, alert.name, alert.price, alert.threshold,
                                  alert.thresholdCaption}
                          .join('|');
            lastRow = alert.row;
        });
    }

    // Alerts on, with ticks driven by the test alone.
    void switchOn()
    {
        monitor.timer()->setInterval(3600 * 1000);
        monitor.enableAlerts();
    }

    // One tick, and its check once all of its answers are in.
    [[nodiscard]] bool tick()
    {
        const auto before = checked.count();
        monitor.checkAll();
        return QTest::qWaitFor([&] { return checked.count() > before; }, 20000);
    }

    // The alerts raised since the last call.
    QStringList takeAlerts() { return std::exchange(alerts, {}); }

    QTemporaryDir dir;
    WatchList list;
    std::unique_ptr<SourcePolicy> sources;
    AlertMonitor monitor;
    QSignalSpy checked;
    QStringList alerts;
    RowId lastRow = 0;
};

} // namespace

class TestAlertMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void alertsOnlyWhileSwitchedOn();
    void oneTick_data();
    void oneTick();
    void everyTickAlertsAfresh();
    void switchedOffWithAnAnswerOnItsWay();
    void lateReplyIsCheckedWhenItArrives_data();
    void lateReplyIsCheckedWhenItArrives();
    void repliesSlowerThanTheIntervalStillAlert();
    void rowRemovedWhileAskedRaisesNothing();
    void noUsablePriceRaisesNothing_data();
    void noUsablePriceRaisesNothing();
    void nameIsTheListsNameCell_data();
    void nameIsTheListsNameCell();
    void quoteAgeFromItsOwnReply_data();
    void quoteAgeFromItsOwnReply();

private:
    std::unique_ptr<BrokenServer> m_server;
};

void TestAlertMonitor::init()
{
    m_server = std::make_unique<BrokenServer>();
    QVERIFY(m_server->start());
}

void TestAlertMonitor::cleanup()
{
    m_server.reset();
}

void TestAlertMonitor::alertsOnlyWhileSwitchedOn()
{
    m_server->setReply("600001", quote("99.00"));
    Rig rig(m_server->baseUrl(), {{"600001", "10", ""}});
    QTimer *timer = rig.monitor.timer();
    QCOMPARE(rig.monitor.queue()->objectName(), "Inet2");
    QCOMPARE(timer->objectName(), "Timer2");
    QCOMPARE(timer->interval(), 8000);
    QVERIFY(!rig.monitor.alertsEnabled()); // off at every start

    timer->setInterval(20);
    QTest::qWait(300); // many intervals, but alerts were never switched on
    QCOMPARE(m_server->requestCount(), 0);
    QVERIFY(rig.alerts.isEmpty());

    // Switched on, the same row alerts: the quiet above was the switch, not the set-up.
    rig.monitor.enableAlerts();
    QVERIFY(rig.monitor.alertsEnabled());
    QTRY_VERIFY(!rig.alerts.isEmpty());
    // Asking again while on neither stops nor puts off the next check.
    timer->setInterval(1000);
    QTest::qWait(200);
    rig.monitor.enableAlerts();
    QVERIFY(rig.monitor.alertsEnabled());
    QVERIFY(timer->remainingTime() < 900);

    rig.monitor.disableAlerts();
    QVERIFY(!rig.monitor.alertsEnabled());
    QCOMPARE(rig.monitor.queue()->outstanding(), 0);
    QTRY_COMPARE(m_server->openRequests(), 0);
    QTest::qWait(50);
    m_server->clearLog();
    rig.alerts.clear();
    const auto checksWhenOff = rig.checked.count();
    QTest::qWait(300);
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(rig.checked.count(), checksWhenOff);
    QVERIFY(rig.alerts.isEmpty());
    rig.monitor.disableAlerts(); // twice is as once
    QVERIFY(!rig.monitor.alertsEnabled());
}

void TestAlertMonitor::oneTick_data()
{
    // Each row "code price take-profit stop-loss", "-" for an empty threshold.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("alerts"); // in the order raised

    QTest::newRow("take-profit passed by number, not by text")
        << QStringList{"600001 10.05 9.98 -"} << QStringList{"600001|待命|10.05|9.98|止盈价："};
    QTest::newRow("stop-loss passed by number, not by text")
        << QStringList{"600001 9.99 - 10.45"} << QStringList{"600001|待命|9.99|10.45|止损价："};
    QTest::newRow("two rows beyond: in list order")
        << QStringList{"600001 10.81 10.80 -", "600002 10.19 - 10.20"}
        << QStringList{"600001|待命|10.81|10.80|止盈价：", "600002|待命|10.19|10.20|止损价："};
    QTest::newRow("alerting row before a quiet one")
        << QStringList{"600001 10.81 10.80 -", "600002 10.50 11 10"}
        << QStringList{"600001|待命|10.81|10.80|止盈价："};
    QTest::newRow("both sides of one row: stop-loss last")
        << QStringList{"600001 10.00 9.50 10.50"}
        << QStringList{"600001|待命|10.00|9.50|止盈价：", "600001|待命|10.00|10.50|止损价："};
    QTest::newRow("equal to both thresholds")
        << QStringList{"600001 10.50 10.5 10.50"} << QStringList{};
    QTest::newRow("thresholds that are not numbers")
        << QStringList{"600001 10.50 abc 现价的5%", "600002 10.50 - -"} << QStringList{};
}

void TestAlertMonitor::oneTick()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, alerts);

    WatchEntries entries;
    for (const QString &row : rows) {
        QStringList parts = row.split(' ');
        for (QString &part : parts) {
            if (part == "-")
                part.clear();
        }
        m_server->setReply(parts[0].toUtf8(), quote(parts[1].toUtf8()));
        entries.push_back({parts[0].toStdString(), parts[2].toStdString(), parts[3].toStdString()});
    }
    Rig rig(m_server->baseUrl(), entries);
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.alerts, alerts);
    QCOMPARE(m_server->requestCount(), rows.size()); // every row, through Inet2
    QVERIFY(rig.monitor.alertsEnabled());            // an alert never switches alerts off
}

void TestAlertMonitor::everyTickAlertsAfresh()
{
    m_server->setReply("600001", quote("10.19"));
    m_server->setReply("600002", quote("10.00"));
    Rig rig(m_server->baseUrl(), {{"600001", "12", "10.20"}, {"600002", "10.80", "9"}});
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.takeAlerts(), QStringList{"600001|待命|10.19|10.20|止损价："});

    // Still beyond, the first row alerts again; nothing of the last tick is remembered.
    m_server->setReply("600001", quote("10.05"));
    m_server->setReply("600002", quote("10.81"));
    QVERIFY(rig.tick());
    QCOMPARE(rig.takeAlerts(),
             (QStringList{"600001|待命|10.05|10.20|止损价：", "600002|待命|10.81|10.80|止盈价："}));
}

void TestAlertMonitor::switchedOffWithAnAnswerOnItsWay()
{
    m_server->setReply("600001", quote("10.50"));
    Rig rig(m_server->baseUrl(), {{"600001", "10", ""}});
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.takeAlerts().size(), 1);

    // The next tick's reply is on its way when alerts are switched off.
    m_server->setBehaviour("600001", Behaviour::Hold);
    const auto checks = rig.checked.count();
    rig.monitor.checkAll();
    QTRY_COMPARE(m_server->openRequests(), 1);
    rig.monitor.disableAlerts();
    QCOMPARE(rig.monitor.queue()->outstanding(), 0);

    m_server->releaseHeld();
    QTRY_COMPARE(m_server->openRequests(), 0);
    QTest::qWait(100);
    QVERIFY(rig.alerts.isEmpty());
    QCOMPARE(rig.checked.count(), checks);

    // Switched on again, the row alerts at the first tick.
    m_server->setBehaviour("600001", Behaviour::Proper);
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.takeAlerts(), QStringList{"600001|待命|10.50|10|止盈价："});
}

void TestAlertMonitor::lateReplyIsCheckedWhenItArrives_data()
{
    QTest::addColumn<QByteArray>("promptPrice"); // the second row, beyond its stop-loss of 10 or not
    QTest::addColumn<QStringList>("lateAlerts");
    QTest::newRow("no later row alerted in this tick: the late reply alerts")
        << QByteArray("11.00") << QStringList{"600001|待命|20.00|10|止盈价："};
    QTest::newRow("a later row alerted in this tick: the window stays on it")
        << QByteArray("9.00") << QStringList{};
}

// The first row is slow, and beyond its take-profit when it answers; the second is prompt.
void TestAlertMonitor::lateReplyIsCheckedWhenItArrives()
{
    QFETCH(QByteArray, promptPrice);
    QFETCH(QStringList, lateAlerts);
    m_server->setBehaviour("600001", Behaviour::Hold);
    m_server->setReply("600001", quote("20.00"));
    m_server->setReply("600002", quote(promptPrice));
    Rig rig(m_server->baseUrl(), {{"600001", "10", ""}, {"600002", "", "10"}});
    rig.switchOn();
    rig.monitor.checkAll();
    QTRY_COMPARE(m_server->requestCount(), 2);
    QTRY_COMPARE(rig.monitor.queue()->outstanding(), 1); // the prompt row has answered

    // The next tick asks only the prompt row again: the slow one is still waiting.
    QVERIFY(rig.tick());
    QCOMPARE(m_server->keys().count("600001"), 1);
    QCOMPARE(m_server->keys().count("600002"), 2);
    rig.alerts.clear();
    m_server->setBehaviour("600001", Behaviour::Proper);
    QCOMPARE(m_server->releaseHeld(), 1);
    QTRY_COMPARE(rig.monitor.queue()->outstanding(), 0);
    QTest::qWait(50);
    QCOMPARE(rig.takeAlerts(), lateAlerts);

    // Answered at last, the slow row is asked again at the next tick.
    QVERIFY(rig.tick());
    QCOMPARE(m_server->keys().count("600001"), 2);
}

// Every reply takes longer than the interval between two ticks: each is still checked.
void TestAlertMonitor::repliesSlowerThanTheIntervalStillAlert()
{
    m_server->setReply("600001", quote("20.00"));
    m_server->setDelayMs(300);
    Rig rig(m_server->baseUrl(), {{"600001", "10", ""}});
    rig.monitor.timer()->setInterval(60);
    rig.monitor.enableAlerts();
    QTRY_VERIFY_WITH_TIMEOUT(!rig.alerts.isEmpty(), 5000);
    QCOMPARE(rig.alerts.first(), "600001|待命|20.00|10|止盈价：");
    // Asked again only once answered: never more requests than answers plus one.
    QVERIFY(m_server->requestCount() <= rig.alerts.size() + 1);
}

void TestAlertMonitor::rowRemovedWhileAskedRaisesNothing()
{
    m_server->setBehaviour("600001", Behaviour::Hold);
    m_server->setReply("600001", quote("20.00"));
    Rig rig(m_server->baseUrl(), {{"600001", "10", ""}, {"600002", "", ""}});
    rig.switchOn();
    rig.monitor.checkAll();
    QTRY_COMPARE(m_server->openRequests(), 1);
    QVERIFY(!rig.list.removeAt(0));
    m_server->releaseHeld();
    QTRY_COMPARE(rig.checked.count(), 1);
    QVERIFY(rig.alerts.isEmpty());
}

void TestAlertMonitor::noUsablePriceRaisesNothing_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("connection refused") << true << Behaviour::Proper << QByteArray();
    QTest::newRow("connection reset") << false << Behaviour::Reset << QByteArray();
    QTest::newRow("error page with enough fields")
        << false << Behaviour::ServerError << QByteArray();
    QTest::newRow("oversized reply") << false << Behaviour::Huge << QByteArray();
    QTest::newRow("reply without a price field")
        << false << Behaviour::Proper << QByteArray("a,b,c");
    QTest::newRow("empty price") << false << Behaviour::Proper << quote("");
    QTest::newRow("price not a number") << false << Behaviour::Proper << quote("--");
    QTest::newRow("empty reply") << false << Behaviour::Proper << QByteArray("");
    QTest::newRow("zero price: no trade yet") << false << Behaviour::Proper << quote("0.00");
}

void TestAlertMonitor::noUsablePriceRaisesNothing()
{
    QFETCH(bool, refused);
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, reply);

    const QUrl base = m_server->baseUrl();
    if (refused) {
        m_server.reset(); // nothing listens there any more
    } else {
        m_server->setBehaviour("600001", behaviour);
        if (!reply.isNull())
            m_server->setReply("600001", reply);
    }
    // Any price at all would pass both thresholds.
    Rig rig(base, {{"600001", "0.01", "1000000"}});
    rig.switchOn();
    QVERIFY(rig.tick());
    QVERIFY(rig.tick());
    QVERIFY(rig.alerts.isEmpty());
}

void TestAlertMonitor::nameIsTheListsNameCell_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("alert");
    QTest::newRow("loaded, not yet refreshed") << "loaded"
                                               << "600001|待命|10.50|10|止盈价：";
    QTest::newRow("added, not yet refreshed") << "added"
                                              << "600001||10.50|10|止盈价：";
    QTest::newRow("refreshed") << "refreshed"
                               << "600001|刷新时的名称|10.50|10|止盈价：";
}

void TestAlertMonitor::nameIsTheListsNameCell()
{
    QFETCH(QString, how);
    QFETCH(QString, alert);

    m_server->setReply("600001", quote("10.50", "服务器给的名称"));
    Rig rig(m_server->baseUrl(),
            how == "added" ? WatchEntries{} : WatchEntries{{"600001", "10", ""}});
    if (how == "added")
        QVERIFY(!rig.list.add({"600001", "10", ""}));
    const RowId id = rig.list.rowAt(0).id;
    if (how == "refreshed")
        QVERIFY(rig.list.applyQuote(id, QuoteOf("刷新时的名称", "10.10", "", "", ""), 1));
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.alerts, QStringList{alert});
    QCOMPARE(rig.lastRow, id);
}

// A quote's age is told against the newest quote of its own reply, not against this machine's
// clock: with the clock 20 s ahead of the page's, fresh quotes still count as fresh (and notify).
void TestAlertMonitor::quoteAgeFromItsOwnReply_data()
{
    QTest::addColumn<QByteArrayList>("times"); // each row's quote time in one reply
    QTest::addColumn<QList<qint64>>("ages");   // ms
    QTest::newRow("one quote, the clock 20 s ahead") << QByteArrayList{"100000"} << QList<qint64>{0};
    QTest::newRow("a stock the page no longer updates beside a fresh one")
        << QByteArrayList{"100000", "095000"} << QList<qint64>{0, 600000};
}

void TestAlertMonitor::quoteAgeFromItsOwnReply()
{
    QFETCH(QByteArrayList, times);
    QFETCH(QList<qint64>, ages);
    QTemporaryDir dir;
    QByteArray codes, reply, target = "/q=";
    for (int i = 0; i < times.size(); ++i) {
        const QByteArray symbol = "sh60000" + QByteArray::number(i);
        codes += symbol + "\r\n";
        target += (i ? "," : "") + symbol;
        QList<QByteArray> fields(35, "10.5");
        fields[30] = "20261207" + times[i];
        reply += "v_" + symbol + "=\"" + fields.join('~') + "\";\n";
    }
    m_server->setReply(target, reply);
    writeFile(pathOf(dir) / kCodeFileName, codes.toStdString());
    WatchList list(pathOf(dir));
    QVERIFY(!list.load());
    const auto policy = MakeSources(m_server->baseUrl(), QuoteSourceKind::Tencent);
    policy->setClock([] { return std::int64_t(1796608800 + 20); }); // Monday 10:00:20 in Shanghai
    AlertMonitor monitor(list, *policy);
    QList<qint64> got(times.size(), -1);
    connect(&monitor, &AlertMonitor::replyChecked, this,
            [&](RowId row, qint64, qint64 age) { got[*list.positionOf(row)] = age; });
    QSignalSpy checked(&monitor, &AlertMonitor::checked);
    monitor.enableAlerts();
    monitor.checkAll();
    QVERIFY(checked.wait(10000));
    QCOMPARE(got, ages);
}

QTEST_MAIN(TestAlertMonitor)
#include "test_alertmonitor.moc"
