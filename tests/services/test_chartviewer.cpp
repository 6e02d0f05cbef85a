// "查看分时": which chart pages the viewer is shown and navigated to, when a viewer is created,
// reused or created anew, and when the user's browser takes over.
#include "core/watchliststore.h"
#include "platform/openurl.h"
#include "services/chartviewer.h"
#include "services/viewerprocess.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QFile>
#include <QPointer>
#include <QTest>

#include <memory>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QUrl kChartBase("http://chart.example:8080");

QUrl chartUrl(const char *encodedCode)
{
    return QUrl(kChartBase.toString() + "/cn/" + QLatin1String(encodedCode) + "/index_kp.shtml");
}

// What a viewer was told, in order: "show" or the address navigated to.
class FakeViewer : public ViewerInstance
{
public:
    using ViewerInstance::ViewerInstance;
    void show() override { calls << "show"; }
    void navigate(const QUrl &url) override { calls << url.toString(QUrl::FullyEncoded); }

    void closeWindow()
    {
        emit closed();
        deleteLater();
    }
    void engineMissing(const QUrl &last)
    {
        emit unavailable(last);
        deleteLater();
    }

    QStringList calls;
};

struct LauncherLog
{
    bool available = true;
    QList<QPointer<FakeViewer>> launched;
};

class FakeLauncher : public ViewerLauncher
{
public:
    explicit FakeLauncher(std::shared_ptr<LauncherLog> log) : m_log(std::move(log)) {}
    bool available() const override { return m_log->available; }
    ViewerInstance *launch(QObject *parent) override
    {
        auto *viewer = new FakeViewer(parent);
        m_log->launched.append(viewer);
        return viewer;
    }

private:
    std::shared_ptr<LauncherLog> m_log;
};

// A list read from its files and the chart viewer on it, with a fake launcher unless given one.
struct Panel
{
    explicit Panel(const QList<QByteArray> &codes, std::unique_ptr<ViewerLauncher> launcher = {})
        : list(pathOf(dir))
    {
        WatchEntries entries;
        for (const QByteArray &code : codes)
            entries.push_back({code.toStdString(), "10", "9"});
        RewriteWatchFiles(pathOf(dir), entries);
        list.load();
        if (!launcher)
            launcher = std::make_unique<FakeLauncher>(log);
        charts = std::make_unique<ChartViewer>(list, kChartBase, "site", std::move(launcher));
    }

    QTemporaryDir dir;
    WatchList list;
    std::shared_ptr<LauncherLog> log = std::make_shared<LauncherLog>();
    std::unique_ptr<ChartViewer> charts;
};

QStringList expectedCalls(const QList<QUrl> &urls)
{
    QStringList calls;
    for (const QUrl &url : urls)
        calls << "show" << url.toString(QUrl::FullyEncoded);
    return calls;
}

} // namespace

class TestChartViewer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chosenRows_data();
    void chosenRows();
    void secondUse_data();
    void secondUse();
    void noViewerOpensBrowser_data();
    void noViewerOpensBrowser();
    void viewerProcessThatCannotStart_data();
    void viewerProcessThatCannotStart();

private:
    QList<QUrl> m_opened;
};

void TestChartViewer::init()
{
    m_opened.clear();
    SetOpenUrlHookForTests([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestChartViewer::cleanup()
{
    SetOpenUrlHookForTests(nullptr);
}

void TestChartViewer::chosenRows_data()
{
    QTest::addColumn<QList<QByteArray>>("codes");
    QTest::addColumn<QList<int>>("positions"); // in the order the user picked them
    QTest::addColumn<QList<QUrl>>("navigations");

    const QList<QByteArray> four{"600000", "000001", "300750", "600036"};
    QTest::newRow("no row: nothing opens") << four << QList<int>{} << QList<QUrl>{};
    QTest::newRow("one row") << four << QList<int>{2} << QList<QUrl>{chartUrl("300750")};
    QTest::newRow("several rows picked bottom-up end on the last in list order")
        << four << QList<int>{3, 0, 1}
        << QList<QUrl>{chartUrl("600000"), chartUrl("000001"), chartUrl("600036")};
    QTest::newRow("every row") << four << QList<int>{0, 1, 2, 3}
                               << QList<QUrl>{chartUrl("600000"), chartUrl("000001"),
                                              chartUrl("300750"), chartUrl("600036")};
    QTest::newRow("same code twice navigates twice")
        << QList<QByteArray>{"600000", "600000"} << QList<int>{1, 0}
        << QList<QUrl>{chartUrl("600000"), chartUrl("600000")};
    QTest::newRow("code with a slash and a blank stays in its segment")
        << QList<QByteArray>{"60/0 1"} << QList<int>{0} << QList<QUrl>{chartUrl("60%2F0%201")};
}

void TestChartViewer::chosenRows()
{
    QFETCH(QList<QByteArray>, codes);
    QFETCH(QList<int>, positions);
    QFETCH(QList<QUrl>, navigations);

    Panel panel(codes);
    panel.charts->showCharts(positions);

    if (navigations.isEmpty()) {
        QVERIFY(panel.log->launched.isEmpty());
        QVERIFY(panel.charts->viewer() == nullptr);
    } else {
        QCOMPARE(panel.log->launched.size(), 1); // one window for all rows
        QCOMPARE(panel.log->launched.first()->calls, expectedCalls(navigations));
        QCOMPARE(panel.charts->viewer(), panel.log->launched.first().data());
    }
    QVERIFY(m_opened.isEmpty());
}

void TestChartViewer::secondUse_data()
{
    QTest::addColumn<QString>("firstViewer"); // what became of it before the second use
    QTest::addColumn<QList<QUrl>>("opened");
    QTest::addColumn<QStringList>("secondCalls"); // what the viewer of the second use was told

    QTest::newRow("still open: reused")
        << "open" << QList<QUrl>{}
        << expectedCalls({chartUrl("600000"), chartUrl("000001"), chartUrl("600000")});
    QTest::newRow("closed: created anew")
        << "closed" << QList<QUrl>{} << expectedCalls({chartUrl("600000")});
    // The viewer program is there but its engine is not: it ends before it is ready, and the
    // next try starts a viewer again rather than talking to the one that failed.
    QTest::newRow("engine missing: its last chart in the browser, then created anew")
        << "engine missing" << QList<QUrl>{chartUrl("000001")}
        << expectedCalls({chartUrl("600000")});
}

void TestChartViewer::secondUse()
{
    QFETCH(QString, firstViewer);
    QFETCH(QList<QUrl>, opened);
    QFETCH(QStringList, secondCalls);

    Panel panel({"600000", "000001"});
    panel.charts->showCharts({0, 1});
    QPointer<FakeViewer> first = panel.log->launched.first();
    if (firstViewer == "closed")
        first->closeWindow();
    else if (firstViewer == "engine missing")
        first->engineMissing(chartUrl("000001"));
    QCOMPARE(panel.charts->viewer() == nullptr, firstViewer != "open");
    QCOMPARE(m_opened, opened);

    panel.charts->showCharts({0});
    QCOMPARE(panel.log->launched.size(), firstViewer == "open" ? 1 : 2);
    QCOMPARE(panel.log->launched.last()->calls, secondCalls);
    QCOMPARE(panel.charts->viewer(), panel.log->launched.last().data());
    if (firstViewer != "open")
        QTRY_VERIFY(first.isNull()); // the ended one is gone, not kept beside the new one
}

void TestChartViewer::noViewerOpensBrowser_data()
{
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QList<QUrl>>("opened");

    QTest::newRow("no row: nothing opens") << QList<int>{} << QList<QUrl>{};
    QTest::newRow("one row") << QList<int>{1} << QList<QUrl>{chartUrl("000001")};
    QTest::newRow("several rows: one tab with the chart the viewer would end on")
        << QList<int>{2, 0} << QList<QUrl>{chartUrl("300750")};
}

void TestChartViewer::noViewerOpensBrowser()
{
    QFETCH(QList<int>, positions);
    QFETCH(QList<QUrl>, opened);

    Panel panel({"600000", "000001", "300750"});
    panel.log->available = false;
    panel.charts->showCharts(positions);
    QVERIFY(panel.log->launched.isEmpty());
    QCOMPARE(m_opened, opened);
}

void TestChartViewer::viewerProcessThatCannotStart_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no such file
    QTest::newRow("not there at all") << QByteArray();
    QTest::newRow("browser engine library missing") << QByteArray("#!/bin/sh\nexit 127\n");
    QTest::newRow("says ready but never listens")
        << QByteArray("#!/bin/sh\necho ready\nexec sleep 30\n");
}

void TestChartViewer::viewerProcessThatCannotStart()
{
    QFETCH(QByteArray, script);
    QTemporaryDir dir;
    const QString program = dir.filePath("velmora-chart");
    if (!script.isEmpty()) {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    Panel panel({"600000", "000001"}, std::make_unique<ProcessViewerLauncher>(program, "site"));
    panel.charts->showCharts({0, 1});
    QVERIFY(m_opened.isEmpty()); // nothing is decided before the process has had its say
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{chartUrl("000001")}, 15000);
    QTRY_VERIFY(panel.charts->viewer() == nullptr);
}

QTEST_MAIN(TestChartViewer)
#include "test_chartviewer.moc"
