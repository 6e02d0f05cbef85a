// The real chart viewer process: started on first use, told where to go over its socket,
// reused while it runs, started anew once it has gone. Skipped where the viewer is not built.
#include "core/watchliststore.h"
#include "demo/demoservice.h"
#include "platform/openurl.h"
#include "services/chartviewer.h"
#include "services/viewerprocess.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

using namespace velmora;

class TestViewerProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void startedReusedAndStartedAnew();

private:
    QString m_program;
    QList<QUrl> m_opened;
};

void TestViewerProcess::initTestCase()
{
    m_program = FindViewerExecutable({QStringLiteral(VELMORA_VIEWER_DIR)});
    if (m_program.isEmpty())
        QSKIP("the chart viewer is not built here (no browser engine)");
    SetOpenUrlHookForTests([this](const QUrl &url) {
        m_opened << url;
        return true;
    });
}

void TestViewerProcess::cleanupTestCase()
{
    SetOpenUrlHookForTests(nullptr);
}

void TestViewerProcess::startedReusedAndStartedAnew()
{
    DemoQuoteService demo;
    QVERIFY(demo.start());
    const QString base = demo.baseUrl().toString();
    auto chart = [&base](const char *code) {
        return QUrl(base + QStringLiteral("/cn/") + QLatin1String(code) +
                    QStringLiteral("/index_kp.shtml"));
    };

    QTemporaryDir dir;
    RewriteWatchFiles(velmora::testing::pathOf(dir),
                      {{"600000", "10", "9"}, {"000001", "10", "9"}});
    WatchList list(velmora::testing::pathOf(dir));
    list.load();
    ChartViewer charts(list, demo.baseUrl(), QStringLiteral("site"),
                       std::make_unique<ProcessViewerLauncher>(m_program, QStringLiteral("site")));
    QSignalSpy loads(&charts, &ChartViewer::pageLoaded);

    // First use starts the process; the chart page arrives in its browser.
    charts.showCharts({0});
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 1, 60000);
    QCOMPARE(loads.at(0).at(0).toUrl(), chart("600000"));
    QVERIFY(loads.at(0).at(1).toBool());
    auto *first = qobject_cast<ProcessViewer *>(charts.viewer());
    QVERIFY(first);
    const qint64 pid = first->processId();
    QVERIFY(pid > 0);

    // While it runs, the same process shows the next chart.
    charts.showCharts({1});
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 2, 30000);
    QCOMPARE(loads.at(1).at(0).toUrl(), chart("000001"));
    QCOMPARE(charts.viewer(), first);
    QCOMPARE(first->processId(), pid);

    // Once it has gone, the next use starts a new one.
    QPointer<ProcessViewer> gone = first;
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    QTRY_VERIFY_WITH_TIMEOUT(charts.viewer() == nullptr, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(gone.isNull(), 30000);
    charts.showCharts({0});
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 3, 60000);
    QCOMPARE(loads.at(2).at(0).toUrl(), chart("600000"));
    auto *second = qobject_cast<ProcessViewer *>(charts.viewer());
    QVERIFY(second);
    QVERIFY(second->processId() != pid);
    QVERIFY(m_opened.isEmpty()); // the browser was never needed
}

QTEST_MAIN(TestViewerProcess)
#include "test_viewerprocess.moc"
