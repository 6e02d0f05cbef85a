#include "demo/demomarket.h"
#include "demo/demoservice.h"
#include "ui/mainwindow.h"
#include "watchlist/watchlist.h"
#include "services/quoterefresh.h"
#include "core/quotereply.h"
#include "core/watchliststore.h"
#include "support/brokenserver.h"
#include "support/tempdir.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace velmora;
using velmora::testing::BrokenServer;
using Behaviour = BrokenServer::Behaviour;

Q_DECLARE_METATYPE(velmora::testing::BrokenServer::Behaviour)
Q_DECLARE_METATYPE(velmora::RowColour)

namespace {

// A list and its refresh, ticked by hand.
struct Rig
{
    explicit Rig(const QUrl &base) : refresh(model, nullptr, base), answered(&refresh, &QuoteRefresh::answered)
    {
    }
    std::uint64_t add(const char *code)
    {
        return model.appendLoaded({code, std::string("tp-") + code, std::string("sl-") + code});
    }
    int position(std::uint64_t id) const { return *model.positionOf(id); }
    QString cell(std::uint64_t id, int column) const { return model.text(position(id), column); }
    RowColour colour(std::uint64_t id) const { return model.rowAt(position(id)).colour; }
    // Sub-items 1-5 as the list shows them, for one-line comparisons.
    QStringList figures(std::uint64_t id) const
    {
        QStringList out;
        for (int column = WatchListModel::Name; column <= WatchListModel::Change; ++column)
            out << cell(id, column);
        return out;
    }

    WatchListModel model;
    QuoteRefresh refresh;
    QSignalSpy answered;
};

// What the list shows after a reply text: name, price, high, low, change.
QStringList figuresOf(const QByteArray &reply)
{
    const QuoteReply r = ParseQuoteReply(reply.toStdString());
    return {QString::fromStdString(r.name.value_or("")), QString::fromStdString(r.price.value_or("")),
            QString::fromStdString(r.high.value_or("")), QString::fromStdString(r.low.value_or("")),
            QString::fromStdString(r.change.value_or(""))};
}

const QStringList kEmpty = {QString(), QString(), QString(), QString(), QString()};

} // namespace

class TestQuoteRefresh : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyListSendsNothing();
    void oneRequestPerRowInListOrder();
    void writesWhatTheReplySays_data();
    void writesWhatTheReplySays();
    void failingRowKeepsNeighboursApart_data();
    void failingRowKeepsNeighboursApart();
    void hangingRowAskedOnceAndHoldsNobodyUp();
    void serviceBackFillsRowsAgain();
    void rowsRemovedAndAddedWhileAsking();
    void demoServiceFillsAndColoursRows();
    void mainWindowTimerDrivesInet1();

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

void TestQuoteRefresh::emptyListSendsNothing()
{
    Rig rig(m_server->baseUrl());
    rig.refresh.Timer1_Timer();
    QCOMPARE(rig.refresh.inet1()->outstanding(), 0);
    QTest::qWait(100);
    QCOMPARE(m_server->requestCount(), 0);
    QCOMPARE(rig.answered.count(), 0);
    QCOMPARE(rig.model.rowCount(), 0);
}

void TestQuoteRefresh::oneRequestPerRowInListOrder()
{
    Rig rig(m_server->baseUrl());
    // One at a time, so the order the server sees is the order the rows were asked in.
    rig.refresh.inet1()->setMaxInFlight(1);
    const QList<QByteArray> codes = {"600519", "000001", "600000", "000001", "300750 "};
    for (const QByteArray &code : codes)
        rig.add(code.constData());

    for (int tick = 1; tick <= 3; ++tick) {
        rig.refresh.Timer1_Timer();
        QCOMPARE(rig.refresh.inet1()->outstanding(), codes.size());
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

    const QByteArray example =
        "'x0','x1','示例股份','10.50','-1.23%','x5','x6','x7','x8','x9','x10','10.80','10.21'";
    QTest::newRow("fall: blue") << Behaviour::Proper << example
                                << QStringList{"示例股份", "10.50", "10.80", "10.21", "-1.23%"}
                                << RowColour::Blue;
    QTest::newRow("rise: red")
        << Behaviour::Proper << QByteArray("a,b,名称,9.99,1.20%,5,6,7,8,9,10,10.01,9.50")
        << QStringList{"名称", "9.99", "10.01", "9.50", "1.20%"} << RowColour::Red;
    QTest::newRow("no change: red")
        << Behaviour::Proper << QByteArray("a,b,名称,9.99,0.00%,5,6,7,8,9,10,10.01,9.50")
        << QStringList{"名称", "9.99", "10.01", "9.50", "0.00%"} << RowColour::Red;
    QTest::newRow("blank before the minus: red")
        << Behaviour::Proper << QByteArray("a,b,名称,9.99, -0.50%,5,6,7,8,9,10,10.01,9.50")
        << QStringList{"名称", "9.99", "10.01", "9.50", " -0.50%"} << RowColour::Red;
    QTest::newRow("twelve fields: low empty")
        << Behaviour::FewFields << example
        << QStringList{"示例股份", "10.50", "10.80", "", "-1.23%"} << RowColour::Blue;
    QTest::newRow("four fields: change empty, red")
        << Behaviour::Proper << QByteArray("'x0','x1','示例股份','10.50'")
        << QStringList{"示例股份", "10.50", "", "", ""} << RowColour::Red;
    QTest::newRow("a notice instead of a quote, written as it falls")
        << Behaviour::Proper << QByteArray("系统维护中,请稍后,再试,-,x")
        << QStringList{"再试", "-", "", "", "x"} << RowColour::Red;
    QTest::newRow("GBK without charset still reads Chinese")
        << Behaviour::GbkNoCharset << example
        << QStringList{"示例股份", "10.50", "10.80", "10.21", "-1.23%"} << RowColour::Blue;
    QTest::newRow("5 MiB: empty and red") << Behaviour::Huge << example << kEmpty << RowColour::Red;
}

void TestQuoteRefresh::writesWhatTheReplySays()
{
    QFETCH(Behaviour, behaviour);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, figures);
    QFETCH(RowColour, colour);

    m_server->setBehaviour("600000", behaviour);
    m_server->setReply("600000", reply);
    Rig rig(m_server->baseUrl());
    rig.refresh.inet1()->setTimeoutMs(300);
    const auto id = rig.add("600000");
    QCOMPARE(rig.cell(id, WatchListModel::Name), QStringLiteral("待命"));
    QCOMPARE(rig.colour(id), RowColour::Default);

    rig.refresh.Timer1_Timer();
    QVERIFY(rig.answered.wait(5000));
    QCOMPARE(rig.figures(id), figures);
    QCOMPARE(rig.colour(id), colour);
    QCOMPARE(rig.cell(id, WatchListModel::Code), QStringLiteral("600000"));
    QCOMPARE(rig.cell(id, WatchListModel::TakeProfit), QStringLiteral("tp-600000"));
    QCOMPARE(rig.cell(id, WatchListModel::StopLoss), QStringLiteral("sl-600000"));
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
    Rig rig(m_server->baseUrl());
    rig.refresh.inet1()->setTimeoutMs(300);
    const auto first = rig.add("000001");
    const auto failing = rig.add("000002");
    const auto third = rig.add("000003");

    for (int tick = 1; tick <= 3; ++tick) {
        rig.refresh.Timer1_Timer();
        QTRY_COMPARE(rig.answered.count(), 3 * tick);
        QCOMPARE(rig.figures(first), figuresOf(BrokenServer::properReply("000001")));
        QCOMPARE(rig.figures(failing), kEmpty);
        QCOMPARE(rig.colour(failing), RowColour::Red);
        QCOMPARE(rig.figures(third), figuresOf(BrokenServer::properReply("000003")));
        for (auto id : {first, failing, third}) {
            const QString code = rig.cell(id, WatchListModel::Code);
            QCOMPARE(rig.cell(id, WatchListModel::TakeProfit), "tp-" + code);
            QCOMPARE(rig.cell(id, WatchListModel::StopLoss), "sl-" + code);
        }
    }
    // The proper reply of 000001 is a fall, that of 000003 a rise: each row its own colour.
    QCOMPARE(rig.colour(first), IsFall(figuresOf(BrokenServer::properReply("000001")).at(4).toStdString())
                                    ? RowColour::Blue
                                    : RowColour::Red);
    QCOMPARE(rig.colour(third), IsFall(figuresOf(BrokenServer::properReply("000003")).at(4).toStdString())
                                    ? RowColour::Blue
                                    : RowColour::Red);
}

void TestQuoteRefresh::hangingRowAskedOnceAndHoldsNobodyUp()
{
    m_server->setBehaviour("600002", Behaviour::Hang);
    Rig rig(m_server->baseUrl()); // the real 60 s limit: the hang outlasts the test
    const auto before = rig.add("600001");
    const auto hanging = rig.add("600002");
    const auto after = rig.add("600003");

    for (int tick = 1; tick <= 3; ++tick) {
        const QByteArray text = "a,b,第" + QByteArray::number(tick) + "次,1.0" +
                                QByteArray::number(tick) + ",-0.1%,5,6,7,8,9,10,2,1";
        m_server->setReply("600001", text);
        m_server->setReply("600003", text);
        rig.refresh.Timer1_Timer();
        QTRY_COMPARE(rig.answered.count(), 2 * tick);
        QCOMPARE(rig.figures(before), figuresOf(text));
        QCOMPARE(rig.figures(after), figuresOf(text));
        QCOMPARE(rig.refresh.waitingRows(), 1);
    }
    QCOMPARE(m_server->keys().count("600001"), 3);
    QCOMPARE(m_server->keys().count("600003"), 3);
    QCOMPARE(m_server->keys().count("600002"), 1); // never asked twice at once
    QCOMPARE(m_server->openRequests(), 1);
    QCOMPARE(rig.cell(hanging, WatchListModel::Name), QStringLiteral("待命"));
}

void TestQuoteRefresh::serviceBackFillsRowsAgain()
{
    m_server->setDefaultBehaviour(Behaviour::Reset);
    Rig rig(m_server->baseUrl());
    const auto a = rig.add("600000");
    const auto b = rig.add("600036");
    rig.refresh.Timer1_Timer();
    QTRY_COMPARE(rig.answered.count(), 2);
    QCOMPARE(rig.figures(a), kEmpty);
    QCOMPARE(rig.figures(b), kEmpty);
    QCOMPARE(rig.colour(a), RowColour::Red);
    QCOMPARE(rig.colour(b), RowColour::Red);

    m_server->setDefaultBehaviour(Behaviour::Proper);
    rig.refresh.Timer1_Timer();
    QTRY_COMPARE(rig.answered.count(), 4);
    QCOMPARE(rig.figures(a), figuresOf(BrokenServer::properReply("600000")));
    QCOMPARE(rig.figures(b), figuresOf(BrokenServer::properReply("600036")));
}

void TestQuoteRefresh::rowsRemovedAndAddedWhileAsking()
{
    m_server->setDefaultBehaviour(Behaviour::Hold);
    Rig rig(m_server->baseUrl());
    const auto a = rig.add("000001");
    const auto b = rig.add("000002");
    const auto c = rig.add("000003");
    const auto d = rig.add("000004");
    rig.refresh.Timer1_Timer();
    QTRY_COMPARE(m_server->openRequests(), 4);

    // While the answers are out: the first row is removed (every other row moves up), the
    // third is removed and put back at its place (a removal whose file write failed), and a
    // row is added at the end.
    rig.model.takeRow(rig.position(a));
    const WatchRow taken = rig.model.takeRow(rig.position(c));
    rig.model.insertRow(1, taken);
    const auto added = rig.model.appendAdded({"000005", "tp", "sl"});

    QCOMPARE(m_server->releaseHeld(), 4);
    QTRY_COMPARE(rig.answered.count(), 4);
    QList<std::uint64_t> dropped;
    for (const auto &args : rig.answered) {
        if (!args.at(2).toBool())
            dropped << args.at(0).value<std::uint64_t>();
    }
    QCOMPARE(dropped, QList<std::uint64_t>{a});
    QCOMPARE(rig.model.rowCount(), 4);
    QCOMPARE(rig.figures(b), figuresOf(BrokenServer::properReply("000002")));
    QCOMPARE(rig.figures(c), figuresOf(BrokenServer::properReply("000003")));
    QCOMPARE(rig.figures(d), figuresOf(BrokenServer::properReply("000004")));
    QCOMPARE(rig.cell(added, WatchListModel::Price), QStringLiteral("待命"));

    // The next tick asks the rows there are now, the added one included, the removed one not.
    m_server->clearLog();
    m_server->setDefaultBehaviour(Behaviour::Proper);
    rig.refresh.Timer1_Timer();
    QTRY_COMPARE(rig.answered.count(), 8);
    QList<QByteArray> asked = m_server->keys();
    std::sort(asked.begin(), asked.end());
    QCOMPARE(asked, (QList<QByteArray>{"000002", "000003", "000004", "000005"}));
    QCOMPARE(rig.figures(added), figuresOf(BrokenServer::properReply("000005")));
}

void TestQuoteRefresh::demoServiceFillsAndColoursRows()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    demo.setFault("000002", DemoFault::ServerError);
    Rig rig(demo.baseUrl());
    const auto known = rig.add("600000");
    const auto failing = rig.add("000002");
    const auto other = rig.add("123456");
    rig.refresh.Timer1_Timer();
    QTRY_COMPARE(rig.answered.count(), 3);

    QCOMPARE(rig.cell(known, WatchListModel::Name), QString::fromStdString(DemoName("600000")));
    QCOMPARE(rig.cell(other, WatchListModel::Name), QString::fromStdString(DemoName("123456")));
    QCOMPARE(rig.figures(failing), kEmpty);
    QCOMPARE(rig.colour(failing), RowColour::Red);
    for (auto id : {known, other}) {
        const QStringList f = rig.figures(id);
        const double price = f.at(1).toDouble(), high = f.at(2).toDouble(), low = f.at(3).toDouble();
        QVERIFY2(low <= price && price <= high, qPrintable(f.join(QLatin1Char(' '))));
        QCOMPARE(rig.colour(id), f.at(4).startsWith(QLatin1Char('-')) ? RowColour::Blue : RowColour::Red);
        QVERIFY(f.at(4).endsWith(QLatin1Char('%')));
    }
}

void TestQuoteRefresh::mainWindowTimerDrivesInet1()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto path = velmora::testing::pathOf(dir);
    velmora::testing::writeFile(path / "Setting.ini", "600000\r\n000001\r\n");
    velmora::testing::writeFile(path / "Setting2.ini", "11\r\n12\r\n");
    velmora::testing::writeFile(path / "Setting3.ini", "9\r\n8\r\n");
    WatchListFiles files(path);
    AppSettings settings;
    settings.dataDir = dir.path();
    settings.quoteBase = settings.chartBase = settings.siteBase = demo.baseUrl();
    settings.demo = true;
    Form1 form(settings, files);
    QVERIFY(form.findChild<QuoteFetcher *>(QStringLiteral("Inet1")));
    form.load();

    QTimer *timer1 = form.timer1();
    QCOMPARE(timer1->objectName(), QStringLiteral("Timer1"));
    QCOMPARE(timer1->interval(), 8000);
    QVERIFY(timer1->isActive());
    QCOMPARE(form.model()->text(0, WatchListModel::Name), QStringLiteral("待命"));
    QCOMPARE(demo.quoteRequests(), 0); // no refresh at start-up itself

    timer1->setInterval(20);
    QTRY_COMPARE(form.model()->text(0, WatchListModel::Name),
                 QString::fromStdString(DemoName("600000")));
    QTRY_COMPARE(form.model()->text(1, WatchListModel::Name),
                 QString::fromStdString(DemoName("000001")));
    QVERIFY(form.model()->rowAt(0).colour != RowColour::Default);
    QCOMPARE(form.model()->text(0, WatchListModel::TakeProfit), QStringLiteral("11"));
    QCOMPARE(form.model()->text(1, WatchListModel::StopLoss), QStringLiteral("8"));
    QTRY_VERIFY(demo.quoteRequests() >= 6); // it keeps ticking
}

QTEST_MAIN(TestQuoteRefresh)
#include "test_quoterefresh.moc"
