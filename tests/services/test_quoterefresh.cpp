#include "core/watchliststore.h"
#include "demo/demoservice.h"
#include "services/quoterefresh.h"
#include "support/brokenserver.h"
#include "support/replies.h"
#include "support/sources.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace velmora;
using namespace velmora::testing;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::testing::BrokenServer::Behaviour)
Q_DECLARE_METATYPE(velmora::RowColour)

namespace {

const QByteArray kExample = QuoteReplyText("示例股份", "10.50", "-1.23%", "10.80", "10.21");
const QStringList kExampleFigures = {"示例股份", "10.50", "10.80", "10.21", "-1.23%"};
const QStringList kEmpty = {"", "", "", "", ""};

// A list read from its files (each code with take-profit "tp-<code>" and stop-loss
// "sl-<code>") and its refresh, ticked by hand.
struct Rig
{
    Rig(const QUrl &base, const QList<QByteArray> &codes)
        : list(pathOf(dir)), sources(MakeSources(base)), refresh(list, *sources), answered(&refresh, &QuoteRefresh::answered)
    {
        WatchEntries entries;
        for (const QByteArray &code : codes)
            entries.push_back(
                {code.toStdString(), "tp-" + code.toStdString(), "sl-" + code.toStdString()});
        RewriteWatchFiles(pathOf(dir), entries);
        list.load();
    }
    RowId id(int position) const { return list.rowAt(position).id; }
    RowColour colour(RowId id) const { return list.rowAt(*list.positionOf(id)).colour; }
    // Name, price, high, low and change as the list shows them.
    QStringList figures(RowId id) const
    {
        QStringList out;
        for (int column = WatchList::Name; column <= WatchList::Change; ++column)
            out << list.text(*list.positionOf(id), column);
        return out;
    }
    // Code, take-profit and stop-loss: what the refresh must never touch.
    QStringList entry(RowId id) const
    {
        const int at = *list.positionOf(id);
        return {list.text(at, WatchList::Code), list.text(at, WatchList::TakeProfit),
                list.text(at, WatchList::StopLoss)};
    }

    QTemporaryDir dir;
    WatchList list;
    std::unique_ptr<SourcePolicy> sources;
    QuoteRefresh refresh;
    QSignalSpy answered;
};

} // namespace

class TestQuoteRefresh : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void oneRequestPerRowInListOrder_data();
    void oneRequestPerRowInListOrder();
    void writesWhatTheReplySays_data();
    void writesWhatTheReplySays();
    void failingRowKeepsNeighboursApart_data();
    void failingRowKeepsNeighboursApart();
    void hangingRowAskedOnceAndHoldsNobodyUp();
    void serviceBackFillsRowsAgain();
    void rowsRemovedAndAddedWhileAsking();
    void ownTimerRefreshesFromTheDemoService();

private:
    BrokenServer *m_server = nullptr;
};

void TestQuoteRefresh::init()
{
    m_server = new BrokenServer(this);
    QVERIFY(m_server->start());
}

void TestQuoteRefresh::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

void TestQuoteRefresh::oneRequestPerRowInListOrder_data()
{
    QTest::addColumn<QList<QByteArray>>("codes");
    QTest::newRow("empty list: nothing sent") << QList<QByteArray>{};
    QTest::newRow("five rows, one code twice, one with a blank")
        << QList<QByteArray>{"600519", "000001", "600000", "000001", "300750 "};
}

void TestQuoteRefresh::oneRequestPerRowInListOrder()
{
    QFETCH(QList<QByteArray>, codes);
    Rig rig(m_server->baseUrl(), codes);
    QCOMPARE(rig.list.rowCount(), codes.size());
    // One at a time, so the order the server sees is the order the rows were asked in.
    rig.refresh.queue()->setMaxInFlight(1);

    for (int tick = 1; tick <= 3; ++tick) {
        rig.refresh.refreshAll();
        QCOMPARE(rig.refresh.queue()->outstanding(), codes.size());
        QTRY_COMPARE(rig.answered.count(), tick * codes.size());
        QCOMPARE(m_server->keys().mid((tick - 1) * codes.size()), codes);
    }
    QCOMPARE(m_server->requestCount(), 3 * codes.size());
}

void TestQuoteRefresh::writesWhatTheReplySays_data()
{
    QTest::addColumn<Behaviour>("behaviour");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("figures"); // name, price, high, low, change
    QTest::addColumn<RowColour>("colour");

    QTest::newRow("fall: blue") << Behaviour::Proper << kExample << kExampleFigures
                                << RowColour::Blue;
    QTest::newRow("rise: red") << Behaviour::Proper
                               << QByteArray("a,b,名称,9.99,1.20%,5,6,7,8,9,10,10.01,9.50")
                               << QStringList{"名称", "9.99", "10.01", "9.50", "1.20%"}
                               << RowColour::Red;
    QTest::newRow("no change: red")
        << Behaviour::Proper << QByteArray("a,b,名称,9.99,0.00%,5,6,7,8,9,10,10.01,9.50")
        << QStringList{"名称", "9.99", "10.01", "9.50", "0.00%"} << RowColour::Red;
    QTest::newRow("blank before the minus: red")
        << Behaviour::Proper << QByteArray("a,b,名称,9.99, -0.50%,5,6,7,8,9,10,10.01,9.50")
        << QStringList{"名称", "9.99", "10.01", "9.50", " -0.50%"} << RowColour::Red;
    QTest::newRow("twelve fields: low empty")
        << Behaviour::FewFields << kExample
        << QStringList{"示例股份", "10.50", "10.80", "", "-1.23%"} << RowColour::Blue;
    QTest::newRow("four fields: change empty, red")
        << Behaviour::Proper << QByteArray("'x0','x1','示例股份','10.50'")
        << QStringList{"示例股份", "10.50", "", "", ""} << RowColour::Red;
    QTest::newRow("a notice instead of a quote, written as it falls")
        << Behaviour::Proper << QByteArray("系统维护中,请稍后,再试,-,x")
        << QStringList{"再试", "-", "", "", "x"} << RowColour::Red;
    QTest::newRow("GBK without charset still reads Chinese")
        << Behaviour::GbkNoCharset << kExample << kExampleFigures << RowColour::Blue;
    QTest::newRow("5 MiB: empty and red")
        << Behaviour::Huge << kExample << kEmpty << RowColour::Red;
}

void TestQuoteRefresh::writesWhatTheReplySays()
{
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, figures);
    QFETCH(RowColour, colour);

    m_server->setBehaviour("600000", behaviour);
    m_server->setReply("600000", reply);
    Rig rig(m_server->baseUrl(), {"600000"});
    rig.refresh.queue()->setTimeoutMs(300);
    const RowId id = rig.id(0);
    QCOMPARE(rig.figures(id), (QStringList{"待命", "", "", "", ""}));
    QCOMPARE(rig.colour(id), RowColour::Default);

    rig.refresh.refreshAll();
    QVERIFY(rig.answered.wait(5000));
    QCOMPARE(rig.figures(id), figures);
    QCOMPARE(rig.colour(id), colour);
    QCOMPARE(rig.entry(id), (QStringList{"600000", "tp-600000", "sl-600000"}));
}

void TestQuoteRefresh::failingRowKeepsNeighboursApart_data()
{
    QTest::addColumn<Behaviour>("fault");
    QTest::newRow("500 page") << Behaviour::ServerError;
    QTest::newRow("reset") << Behaviour::Reset;
    QTest::newRow("slow drip") << Behaviour::Drip;
    QTest::newRow("5 MiB without a length") << Behaviour::HugeUnannounced;
    QTest::newRow("hanging") << Behaviour::Hang;
}

void TestQuoteRefresh::failingRowKeepsNeighboursApart()
{
    QFETCH(Behaviour, fault);
    m_server->setBehaviour("000002", fault);
    m_server->setDripIntervalMs(20);
    m_server->setReply("000001", QuoteReplyText("甲股份", "8.01", "-0.30%", "8.20", "7.90"));
    m_server->setReply("000003", QuoteReplyText("丙股份", "3.30", "2.10%", "3.40", "3.10"));
    Rig rig(m_server->baseUrl(), {"000001", "000002", "000003"});
    rig.refresh.queue()->setTimeoutMs(300);
    const RowId first = rig.id(0), failing = rig.id(1), third = rig.id(2);

    for (int tick = 1; tick <= 3; ++tick) {
        rig.refresh.refreshAll();
        QTRY_COMPARE(rig.answered.count(), 3 * tick);
        QCOMPARE(rig.figures(first), (QStringList{"甲股份", "8.01", "8.20", "7.90", "-0.30%"}));
        QCOMPARE(rig.colour(first), RowColour::Blue);
        QCOMPARE(rig.figures(failing), kEmpty);
        QCOMPARE(rig.colour(failing), RowColour::Red);
        QCOMPARE(rig.figures(third), (QStringList{"丙股份", "3.30", "3.40", "3.10", "2.10%"}));
        QCOMPARE(rig.colour(third), RowColour::Red);
        QCOMPARE(rig.entry(failing), (QStringList{"000002", "tp-000002", "sl-000002"}));
    }
}

void TestQuoteRefresh::hangingRowAskedOnceAndHoldsNobodyUp()
{
    m_server->setBehaviour("600002", Behaviour::Hang);
    // The real 60 s limit: the hang outlasts the test.
    Rig rig(m_server->baseUrl(), {"600001", "600002", "600003"});

    for (int tick = 1; tick <= 3; ++tick) {
        const QByteArray name = "第" + QByteArray::number(tick) + "次";
        const QByteArray price = "1.0" + QByteArray::number(tick);
        const QByteArray text = QuoteReplyText(name, price, "-0.1%", "2", "1");
        m_server->setReply("600001", text);
        m_server->setReply("600003", text);
        rig.refresh.refreshAll();
        QTRY_COMPARE(rig.answered.count(), 2 * tick);
        const QStringList shown = {QString::fromUtf8(name), QString::fromUtf8(price), "2", "1",
                                   "-0.1%"};
        QCOMPARE(rig.figures(rig.id(0)), shown);
        QCOMPARE(rig.figures(rig.id(2)), shown);
        QCOMPARE(rig.refresh.waitingRows(), 1);
    }
    QCOMPARE(m_server->keys().count("600001"), 3);
    QCOMPARE(m_server->keys().count("600003"), 3);
    QCOMPARE(m_server->keys().count("600002"), 1); // never asked twice at once
    QCOMPARE(m_server->openRequests(), 1);
    QCOMPARE(rig.figures(rig.id(1)), (QStringList{"待命", "", "", "", ""}));
}

void TestQuoteRefresh::serviceBackFillsRowsAgain()
{
    m_server->setDefaultBehaviour(Behaviour::Reset);
    m_server->setReply("600000", kExample);
    m_server->setReply("600036", QuoteReplyText("乙股份", "5.50"));
    Rig rig(m_server->baseUrl(), {"600000", "600036"});
    rig.refresh.refreshAll();
    QTRY_COMPARE(rig.answered.count(), 2);
    for (const RowId id : {rig.id(0), rig.id(1)}) {
        QCOMPARE(rig.figures(id), kEmpty);
        QCOMPARE(rig.colour(id), RowColour::Red);
    }

    m_server->setDefaultBehaviour(Behaviour::Proper);
    rig.refresh.refreshAll();
    QTRY_COMPARE(rig.answered.count(), 4);
    QCOMPARE(rig.figures(rig.id(0)), kExampleFigures);
    QCOMPARE(rig.colour(rig.id(0)), RowColour::Blue);
    QCOMPARE(rig.figures(rig.id(1)), (QStringList{"乙股份", "5.50", "10.80", "10.21", "1.23%"}));
}

void TestQuoteRefresh::rowsRemovedAndAddedWhileAsking()
{
    // Each code its own name and price: "名<code>" and "1.<last two digits>".
    for (const char *code : {"000001", "000002", "000003", "000004", "000005"})
        m_server->setReply(code,
                           QuoteReplyText(QByteArray("名") + code, QByteArray("1.") + (code + 4)));
    m_server->holdAll();
    Rig rig(m_server->baseUrl(), {"000001", "000002", "000003", "000004"});
    const RowId a = rig.id(0), b = rig.id(1), c = rig.id(2), d = rig.id(3);
    rig.refresh.refreshAll();
    QTRY_COMPARE(m_server->openRequests(), 4);

    // While the answers are out: the first row goes (every other row moves up) and a row is
    // added at the end.
    QVERIFY(!rig.list.removeAt(0));
    QVERIFY(!rig.list.add({"000005", "tp", "sl"}));
    const RowId added = rig.id(3);

    QCOMPARE(m_server->release(), 4);
    QTRY_COMPARE(rig.answered.count(), 4);
    QList<RowId> dropped;
    for (const auto &args : rig.answered) {
        if (!args.at(2).toBool())
            dropped << args.at(0).value<RowId>();
    }
    QCOMPARE(dropped, QList<RowId>{a});
    QCOMPARE(rig.list.rowCount(), 4);
    QCOMPARE(rig.figures(b), (QStringList{"名000002", "1.02", "10.80", "10.21", "1.23%"}));
    QCOMPARE(rig.figures(c), (QStringList{"名000003", "1.03", "10.80", "10.21", "1.23%"}));
    QCOMPARE(rig.figures(d), (QStringList{"名000004", "1.04", "10.80", "10.21", "1.23%"}));
    QCOMPARE(rig.figures(added), (QStringList{"", "待命", "", "", ""}));

    // The next tick asks the rows there are now, the added one included, the removed one not.
    m_server->clearLog();
    rig.refresh.refreshAll();
    QTRY_COMPARE(rig.answered.count(), 8);
    QCOMPARE(m_server->keys(), (QList<QByteArray>{"000002", "000003", "000004", "000005"}));
    QCOMPARE(rig.figures(added), (QStringList{"名000005", "1.05", "10.80", "10.21", "1.23%"}));
}

void TestQuoteRefresh::ownTimerRefreshesFromTheDemoService()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    demo.setFault("000002", DemoFault::ServerError);
    Rig rig(demo.baseUrl(), {"600000", "000002", "000001"});
    QCOMPARE(rig.refresh.queue()->objectName(), "Inet1");
    QTimer *timer = rig.refresh.timer();
    QCOMPARE(timer->objectName(), "Timer1");
    QCOMPARE(timer->interval(), 8000);
    QVERIFY(!timer->isActive());

    rig.refresh.start();
    QVERIFY(timer->isActive());
    QCOMPARE(rig.refresh.queue()->outstanding(), 0); // the first tick comes an interval later
    timer->setInterval(20);
    QTRY_COMPARE(rig.list.text(0, WatchList::Name), "岚溪科技");
    QTRY_COMPARE(rig.list.text(2, WatchList::Name), "杉屿医药");
    QTRY_COMPARE(rig.colour(rig.id(1)), RowColour::Red);
    QCOMPARE(rig.figures(rig.id(1)), kEmpty);
    for (const int position : {0, 2}) {
        const QStringList f = rig.figures(rig.id(position));
        const double price = f.at(1).toDouble(), high = f.at(2).toDouble(),
                     low = f.at(3).toDouble();
        QVERIFY2(0 < low && low <= price && price <= high, qPrintable(f.join(' ')));
        QVERIFY(f.at(4).endsWith('%'));
        QVERIFY(rig.colour(rig.id(position)) != RowColour::Default);
    }
    QTRY_VERIFY(demo.quoteRequests() >= 9); // it keeps ticking
}

QTEST_MAIN(TestQuoteRefresh)
#include "test_quoterefresh.moc"
