#include "services/alertmonitor.h"
#include "ui/alertwindow.h"
#include "ui/mainwindow.h"
#include "watchlist/watchlist.h"
#include "core/watchliststore.h"
#include "support/brokenserver.h"
#include "support/tempdir.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace velmora;
using namespace velmora::testing;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::testing::BrokenServer::Behaviour)

namespace {

// A reply in the service's layout with the given name and latest price (fields 2 and 3).
QByteArray quote(const QByteArray &price, const QByteArray &name = "服务器名称")
{
    return "'k','c','" + name + "','" + price +
           "','1.00%','0.10','10.00','10.00','100','1000','15:00:00','11.00','9.00','2024-06-03'";
}

// The main window with its alert monitor, pointed at one quote service; the window itself is
// never loaded, so the refresh stays quiet and only Inet2 talks to the service.
class Rig
{
public:
    explicit Rig(const QUrl &base) : m_files(pathOf(m_dir))
    {
        AppSettings settings;
        settings.dataDir = m_dir.path();
        settings.quoteBase = base;
        settings.chartBase = base;
        settings.siteBase = base;
        form = std::make_unique<Form1>(settings, m_files);
        monitor = form->findChild<AlertMonitor *>();
        if (monitor)
            checked = std::make_unique<QSignalSpy>(monitor, &AlertMonitor::checked);
    }

    WatchListModel &model() { return *form->model(); }
    QTimer &timer2() { return *form->timer2(); }

    // Alerts on, with ticks driven by the test alone.
    void switchOn()
    {
        timer2().setInterval(3600 * 1000);
        form->action("mn19")->trigger();
    }

    // One tick, and its check once all of its answers are in.
    bool tick()
    {
        const auto before = checked->count();
        monitor->Timer2_Timer();
        return QTest::qWaitFor([&] { return checked->count() > before; }, 20000);
    }

    bool windowShown() const
    {
        return monitor->alertWindow() && monitor->alertWindow()->isVisible();
    }

    // Text1..Text4 and Label4, as the window shows them; empty while no window is shown.
    QStringList fields() const
    {
        if (!windowShown())
            return {};
        AlertWindow *window = monitor->alertWindow();
        QStringList texts;
        for (const char *name : {"Text1", "Text2", "Text3", "Text4"})
            texts << window->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
        texts << window->findChild<QLabel *>(u"Label4"_qs)->text();
        return texts;
    }

    void click(const char *button)
    {
        QTest::mouseClick(
            monitor->alertWindow()->findChild<QPushButton *>(QString::fromLatin1(button)),
            Qt::LeftButton);
    }

private:
    QTemporaryDir m_dir;
    WatchListFiles m_files;

public:
    std::unique_ptr<Form1> form;
    AlertMonitor *monitor = nullptr;
    std::unique_ptr<QSignalSpy> checked;
};

void addRow(Rig &rig, const std::string &code, const std::string &takeProfit,
            const std::string &stopLoss)
{
    rig.model().appendLoaded({code, takeProfit, stopLoss});
}

} // namespace

class TestAlertMonitor : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void alertSwitch();
    void alertsOffSendNoRequest();
    void oneTick_data();
    void oneTick();
    void laterTakeProfitFlipsLabel4();
    void remindLaterComesBackNextTick();
    void closeAlertStopsEvenTheReplyOnItsWay();
    void slowRowIsNotAskedAgainAndItsLateReplyDropped();
    void rowRemovedWhileAskedRaisesNothing();
    void noUsablePriceRaisesNothing_data();
    void noUsablePriceRaisesNothing();
    void nameIsTheListsNameCell_data();
    void nameIsTheListsNameCell();

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

void TestAlertMonitor::alertSwitch()
{
    Rig rig(m_server->baseUrl());
    QVERIFY(rig.monitor);
    QCOMPARE(rig.monitor->inet2()->objectName(), u"Inet2"_qs);
    QCOMPARE(rig.timer2().objectName(), u"Timer2"_qs);
    QCOMPARE(rig.timer2().interval(), 8000);
    QVERIFY(!rig.timer2().isActive()); // off at every start

    rig.form->action("mn19")->trigger();
    QVERIFY(rig.timer2().isActive());
    QCOMPARE(rig.timer2().interval(), 8000);
    rig.form->action("mn19")->trigger();
    QVERIFY(rig.timer2().isActive());
    // No check mark or other menu change comes with the switch.
    QVERIFY(!rig.form->action("mn19")->isCheckable());
    QVERIFY(rig.form->action("mn19")->isEnabled() && rig.form->action("mn20")->isEnabled());

    rig.form->action("mn20")->trigger();
    QVERIFY(!rig.timer2().isActive());
    rig.form->action("mn20")->trigger();
    QVERIFY(!rig.timer2().isActive());
}

void TestAlertMonitor::alertsOffSendNoRequest()
{
    Rig rig(m_server->baseUrl());
    m_server->setReply("600001", quote("99.00"));
    addRow(rig, "600001", "10", "");
    rig.timer2().setInterval(20);

    QTest::qWait(300); // many intervals, but alerts were never switched on
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(rig.monitor->alertWindow(), nullptr);

    // Switched on, the same row alerts: the quiet above was the switch, not the set-up.
    rig.form->action("mn19")->trigger();
    QTRY_VERIFY(rig.windowShown());

    rig.form->action("mn20")->trigger();
    QCOMPARE(rig.monitor->inet2()->outstanding(), 0);
    QTRY_COMPARE(m_server->openRequests(), 0);
    QTest::qWait(50);
    m_server->clearLog();
    const auto checks = rig.checked->count();
    QTest::qWait(300);
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(rig.checked->count(), checks);
    QVERIFY(rig.windowShown()); // 预警关 leaves an open alert window open
}

void TestAlertMonitor::oneTick_data()
{
    // Each row "code price take-profit stop-loss", "-" for an empty threshold.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("shown"); // Text1..Text4, Label4; empty: no window

    QTest::newRow("take-profit passed by number, not by text")
        << QStringList{u"600001 10.05 9.98 -"_qs}
        << QStringList{u"600001"_qs, u"待命"_qs, u"10.05"_qs, u"9.98"_qs, u"止盈价："_qs};
    QTest::newRow("stop-loss passed by number, not by text")
        << QStringList{u"600001 9.99 - 10.45"_qs}
        << QStringList{u"600001"_qs, u"待命"_qs, u"9.99"_qs, u"10.45"_qs, u"止损价："_qs};
    QTest::newRow("two rows beyond: the later one shows")
        << QStringList{u"600001 10.81 10.80 -"_qs, u"600002 10.19 - 10.20"_qs}
        << QStringList{u"600002"_qs, u"待命"_qs, u"10.19"_qs, u"10.20"_qs, u"止损价："_qs};
    QTest::newRow("alerting row before a quiet one")
        << QStringList{u"600001 10.81 10.80 -"_qs, u"600002 10.50 11 10"_qs}
        << QStringList{u"600001"_qs, u"待命"_qs, u"10.81"_qs, u"10.80"_qs, u"止盈价："_qs};
    QTest::newRow("both sides of one row: stop-loss last")
        << QStringList{u"600001 10.00 9.50 10.50"_qs}
        << QStringList{u"600001"_qs, u"待命"_qs, u"10.00"_qs, u"10.50"_qs, u"止损价："_qs};
    QTest::newRow("equal to both thresholds") << QStringList{u"600001 10.50 10.5 10.50"_qs}
                                              << QStringList{};
    QTest::newRow("thresholds that are not numbers")
        << QStringList{u"600001 10.50 abc 现价的5%"_qs, u"600002 10.50 - -"_qs}
        << QStringList{};
}

void TestAlertMonitor::oneTick()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, shown);

    Rig rig(m_server->baseUrl());
    for (const QString &row : rows) {
        QStringList parts = row.split(u' ');
        for (QString &part : parts) {
            if (part == u"-"_qs)
                part.clear();
        }
        m_server->setReply(parts[0].toUtf8(), quote(parts[1].toUtf8()));
        addRow(rig, parts[0].toStdString(), parts[2].toStdString(), parts[3].toStdString());
    }
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields(), shown);
    QCOMPARE(m_server->requestCount(), rows.size()); // every row, through Inet2
    QVERIFY(rig.timer2().isActive());                 // an alert never switches alerts off
}

void TestAlertMonitor::laterTakeProfitFlipsLabel4()
{
    Rig rig(m_server->baseUrl());
    addRow(rig, "600001", "12", "10.20");
    addRow(rig, "600002", "10.80", "9");
    m_server->setReply("600001", quote("10.19"));
    m_server->setReply("600002", quote("10.00"));
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields(),
             (QStringList{u"600001"_qs, u"待命"_qs, u"10.19"_qs, u"10.20"_qs, u"止损价："_qs}));

    m_server->setReply("600001", quote("11.00"));
    m_server->setReply("600002", quote("10.81"));
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields(),
             (QStringList{u"600002"_qs, u"待命"_qs, u"10.81"_qs, u"10.80"_qs, u"止盈价："_qs}));
}

void TestAlertMonitor::remindLaterComesBackNextTick()
{
    Rig rig(m_server->baseUrl());
    addRow(rig, "600001", "", "10.20");
    m_server->setReply("600001", quote("10.19"));
    rig.switchOn();
    QVERIFY(rig.tick());
    QVERIFY(rig.windowShown());

    rig.click("Command2"); // 稍后提示
    QVERIFY(!rig.windowShown());
    QVERIFY(rig.timer2().isActive());

    m_server->setReply("600001", quote("10.05"));
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields(),
             (QStringList{u"600001"_qs, u"待命"_qs, u"10.05"_qs, u"10.20"_qs, u"止损价："_qs}));
}

void TestAlertMonitor::closeAlertStopsEvenTheReplyOnItsWay()
{
    Rig rig(m_server->baseUrl());
    addRow(rig, "600001", "10", "");
    m_server->setReply("600001", quote("10.50"));
    rig.switchOn();
    QVERIFY(rig.tick());
    QVERIFY(rig.windowShown());
    // The user moved it aside; it stays there for the rest of its life.
    QVERIFY(QTest::qWaitForWindowExposed(rig.monitor->alertWindow()));
    const QPoint place(40, 30);
    rig.monitor->alertWindow()->move(place);
    QTRY_COMPARE(rig.monitor->alertWindow()->pos(), place);

    // The next tick's reply is on its way when the user closes the alert.
    m_server->setBehaviour("600001", Behaviour::Hold);
    const auto checks = rig.checked->count();
    rig.monitor->Timer2_Timer();
    QTRY_COMPARE(m_server->openRequests(), 1);
    rig.click("Command1"); // 关闭预警
    QVERIFY(!rig.windowShown());
    QVERIFY(!rig.timer2().isActive());
    QCOMPARE(rig.monitor->inet2()->outstanding(), 0);

    m_server->releaseHeld();
    QTRY_COMPARE(m_server->openRequests(), 0);
    QTest::qWait(100);
    QVERIFY(!rig.windowShown());
    QCOMPARE(rig.checked->count(), checks);

    // 预警开 again: the window comes back at the first tick, where it was.
    m_server->setBehaviour("600001", Behaviour::Proper);
    rig.switchOn();
    QVERIFY(rig.tick());
    QVERIFY(rig.windowShown());
    QVERIFY(QTest::qWaitForWindowExposed(rig.monitor->alertWindow()));
    QCOMPARE(rig.monitor->alertWindow()->pos(), place);
}

void TestAlertMonitor::slowRowIsNotAskedAgainAndItsLateReplyDropped()
{
    Rig rig(m_server->baseUrl());
    addRow(rig, "600001", "10", ""); // slow, and beyond its take-profit when it answers
    addRow(rig, "600002", "", "10"); // prompt, beyond its stop-loss
    m_server->setBehaviour("600001", Behaviour::Hold);
    m_server->setReply("600001", quote("20.00"));
    m_server->setReply("600002", quote("9.00"));
    rig.switchOn();

    rig.monitor->Timer2_Timer();
    QTRY_COMPARE(m_server->requestCount(), 2);
    QTest::qWait(100);
    QCOMPARE(rig.checked->count(), 0); // the check waits for the slow row...
    QVERIFY(!rig.windowShown());

    // ...until the next tick, which checks what came in and asks only the prompt row again.
    rig.monitor->Timer2_Timer();
    QCOMPARE(rig.checked->count(), 1);
    QTRY_COMPARE(rig.checked->count(), 2);
    QCOMPARE(m_server->keys(), (QList<QByteArray>{"600001", "600002", "600002"}));
    QCOMPARE(rig.fields().value(0), u"600002"_qs);

    // The slow answer arrives late: it belongs to no check.
    m_server->setBehaviour("600001", Behaviour::Proper);
    QCOMPARE(m_server->releaseHeld(), 1);
    QTRY_COMPARE(rig.monitor->inet2()->outstanding(), 0);
    QCOMPARE(rig.checked->count(), 2);
    QCOMPARE(rig.fields().value(0), u"600002"_qs);

    // Answered at last, the slow row is asked again and alerts.
    QVERIFY(rig.tick());
    QCOMPARE(m_server->keys().count("600001"), 2);
    QCOMPARE(rig.fields().value(0), u"600002"_qs); // still the later row of the list
    m_server->setReply("600002", quote("10.00"));
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields(),
             (QStringList{u"600001"_qs, u"待命"_qs, u"20.00"_qs, u"10"_qs, u"止盈价："_qs}));
}

void TestAlertMonitor::rowRemovedWhileAskedRaisesNothing()
{
    Rig rig(m_server->baseUrl());
    addRow(rig, "600001", "10", "");
    addRow(rig, "600002", "", "");
    m_server->setBehaviour("600001", Behaviour::Hold);
    m_server->setReply("600001", quote("20.00"));
    rig.switchOn();
    rig.monitor->Timer2_Timer();
    QTRY_COMPARE(m_server->openRequests(), 1);
    rig.model().takeRow(0);
    m_server->releaseHeld();
    QTRY_COMPARE(rig.checked->count(), 1);
    QVERIFY(!rig.windowShown());
}

void TestAlertMonitor::noUsablePriceRaisesNothing_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("connection refused") << true << Behaviour::Proper << QByteArray();
    QTest::newRow("connection reset") << false << Behaviour::Reset << QByteArray();
    QTest::newRow("error page with enough fields") << false << Behaviour::ServerError << QByteArray();
    QTest::newRow("oversized reply") << false << Behaviour::Huge << QByteArray();
    QTest::newRow("reply without a price field") << false << Behaviour::Proper << QByteArray("a,b,c");
    QTest::newRow("empty price") << false << Behaviour::Proper << quote("");
    QTest::newRow("price not a number") << false << Behaviour::Proper << quote("--");
    QTest::newRow("empty reply") << false << Behaviour::Proper << QByteArray("");
}

void TestAlertMonitor::noUsablePriceRaisesNothing()
{
    QFETCH(bool, refused);
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, reply);

    QUrl base = m_server->baseUrl();
    if (refused) {
        m_server.reset(); // nothing listens there any more
    } else {
        m_server->setBehaviour("600001", behaviour);
        if (!reply.isNull())
            m_server->setReply("600001", reply);
    }
    Rig rig(base);
    // Any price at all would pass both thresholds.
    addRow(rig, "600001", "0.01", "1000000");
    rig.switchOn();
    QVERIFY(rig.tick());
    QVERIFY(rig.tick());
    QCOMPARE(rig.monitor->alertWindow(), nullptr);
}

void TestAlertMonitor::nameIsTheListsNameCell_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("name");
    QTest::newRow("loaded, not yet refreshed") << "loaded" << "待命";
    QTest::newRow("added, not yet refreshed") << "added" << "";
    QTest::newRow("refreshed") << "refreshed" << "刷新时的名称";
}

void TestAlertMonitor::nameIsTheListsNameCell()
{
    QFETCH(QString, how);
    QFETCH(QString, name);

    Rig rig(m_server->baseUrl());
    const WatchEntry entry{"600001", "10", ""};
    const std::uint64_t id =
        how == u"added"_qs ? rig.model().appendAdded(entry) : rig.model().appendLoaded(entry);
    if (how == u"refreshed"_qs)
        QVERIFY(rig.model().setQuote(id, {"刷新时的名称", "10.10", "", "", ""}));
    m_server->setReply("600001", quote("10.50", "服务器给的名称"));
    rig.switchOn();
    QVERIFY(rig.tick());
    QCOMPARE(rig.fields().value(1, u"<no window>"_qs), name);
}

QTEST_MAIN(TestAlertMonitor)
#include "test_alertmonitor.moc"
