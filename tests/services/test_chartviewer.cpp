// "查看分时": which chart pages the viewer is shown and navigated to, when a viewer is created,
// reused or created anew, and when the user's browser takes over.
#include "ui/mainwindow.h"
#include "watchlist/watchlist.h"
#include "platform/openurl.h"
#include "core/watchliststore.h"
#include "support/tempdir.h"
#include "services/chartviewer.h"
#include "services/viewerprocess.h"

#include <QAction>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QUrl kChartBase(QStringLiteral("http://chart.example:8080"));

QUrl chartUrl(const char *encodedCode)
{
    return QUrl(kChartBase.toString() + QStringLiteral("/cn/") + QString::fromLatin1(encodedCode) +
                QStringLiteral("/index_kp.shtml"));
}

// What a viewer was told, in order: "show" or the address navigated to.
class FakeViewer : public ViewerInstance
{
public:
    using ViewerInstance::ViewerInstance;
    void show() override { calls << QStringLiteral("show"); }
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

// The list and its rows, without the rest of the main window.
struct Panel
{
    WatchListModel model;
    QTreeView list;
    std::shared_ptr<LauncherLog> log = std::make_shared<LauncherLog>();
    std::unique_ptr<ChartViewer> charts;

    explicit Panel(const QList<QByteArray> &codes)
    {
        for (const QByteArray &code : codes)
            model.appendLoaded(WatchEntry{code.toStdString(), "10", "9"});
        list.setModel(&model);
        list.setSelectionMode(QAbstractItemView::ExtendedSelection);
        list.setSelectionBehavior(QAbstractItemView::SelectRows);
        charts = std::make_unique<ChartViewer>(&list, &model, kChartBase,
                                               std::make_unique<FakeLauncher>(log));
    }

    // Selects rows in the order given (as a user would, one Ctrl+click after the other).
    void select(const QList<int> &rows)
    {
        list.selectionModel()->clearSelection();
        for (const int row : rows)
            list.selectionModel()->select(model.index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

QStringList expectedCalls(const QList<QUrl> &urls)
{
    QStringList calls;
    for (const QUrl &url : urls)
        calls << QStringLiteral("show") << url.toString(QUrl::FullyEncoded);
    return calls;
}

} // namespace

class TestChartViewer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void selectedRows_data();
    void selectedRows();
    void openViewerReused();
    void closedViewerCreatedAnew();
    void noViewerOpensBrowser_data();
    void noViewerOpensBrowser();
    void engineMissingLaterOpensBrowser();
    void missingViewerThroughMainWindow();
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

void TestChartViewer::selectedRows_data()
{
    QTest::addColumn<QList<QByteArray>>("codes");
    QTest::addColumn<QList<int>>("selection"); // in the order the user picked them
    QTest::addColumn<QList<QUrl>>("navigations");

    const QList<QByteArray> four{"600000", "000001", "300750", "600036"};
    QTest::newRow("no selected row: nothing opens") << four << QList<int>{} << QList<QUrl>{};
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

void TestChartViewer::selectedRows()
{
    QFETCH(QList<QByteArray>, codes);
    QFETCH(QList<int>, selection);
    QFETCH(QList<QUrl>, navigations);

    Panel panel(codes);
    panel.select(selection);
    panel.charts->mnu23_Click();

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

void TestChartViewer::openViewerReused()
{
    Panel panel({"600000", "000001"});
    panel.select({0});
    panel.charts->mnu23_Click();
    panel.select({1});
    panel.charts->mnu23_Click();

    QCOMPARE(panel.log->launched.size(), 1);
    QCOMPARE(panel.log->launched.first()->calls,
             expectedCalls({chartUrl("600000"), chartUrl("000001")}));
}

void TestChartViewer::closedViewerCreatedAnew()
{
    Panel panel({"600000", "000001"});
    panel.select({0});
    panel.charts->mnu23_Click();
    QPointer<FakeViewer> first = panel.log->launched.first();
    first->closeWindow();
    QVERIFY(panel.charts->viewer() == nullptr);

    panel.select({1});
    panel.charts->mnu23_Click();
    QCOMPARE(panel.log->launched.size(), 2);
    QCOMPARE(panel.log->launched.at(1)->calls, expectedCalls({chartUrl("000001")}));
    QTRY_VERIFY(first.isNull()); // the closed one is gone, not kept beside the new one
}

void TestChartViewer::noViewerOpensBrowser_data()
{
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<QList<QUrl>>("opened");

    QTest::newRow("no selected row: nothing opens") << QList<int>{} << QList<QUrl>{};
    QTest::newRow("one row") << QList<int>{1} << QList<QUrl>{chartUrl("000001")};
    QTest::newRow("several rows: one tab with the chart the viewer would end on")
        << QList<int>{2, 0} << QList<QUrl>{chartUrl("300750")};
}

void TestChartViewer::noViewerOpensBrowser()
{
    QFETCH(QList<int>, selection);
    QFETCH(QList<QUrl>, opened);

    Panel panel({"600000", "000001", "300750"});
    panel.log->available = false;
    panel.select(selection);
    panel.charts->mnu23_Click();
    QVERIFY(panel.log->launched.isEmpty());
    QCOMPARE(m_opened, opened);
}

void TestChartViewer::engineMissingLaterOpensBrowser()
{
    // The viewer program is there but its engine is not: it ends before it is ready.
    Panel panel({"600000", "000001"});
    panel.select({0, 1});
    panel.charts->mnu23_Click();
    panel.log->launched.first()->engineMissing(chartUrl("000001"));
    QCOMPARE(m_opened, QList<QUrl>{chartUrl("000001")});
    QVERIFY(panel.charts->viewer() == nullptr);

    // The next try starts a viewer again rather than talking to the one that failed.
    panel.select({0});
    panel.charts->mnu23_Click();
    QCOMPARE(panel.log->launched.size(), 2);
    QCOMPARE(panel.log->launched.at(1)->calls, expectedCalls({chartUrl("600000")}));
}

void TestChartViewer::missingViewerThroughMainWindow()
{
    // The test program's folder holds no viewer, so the real main window falls back.
    QVERIFY(FindViewerExecutable(ViewerSearchDirs()).isEmpty());
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n000001\r\n");
    writeFile(pathOf(dir) / "Setting2.ini", "10\r\n11\r\n");
    writeFile(pathOf(dir) / "Setting3.ini", "9\r\n8\r\n");
    WatchListFiles files(pathOf(dir));
    AppSettings settings;
    settings.dataDir = dir.path();
    settings.quoteBase = QUrl(QStringLiteral("http://127.0.0.1:9"));
    settings.siteBase = settings.quoteBase;
    settings.chartBase = kChartBase;
    Form1 form(settings, files);
    form.load();
    form.listView()->selectionModel()->select(
        form.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    QAction *mnu23 = form.action("mnu23");
    QVERIFY(mnu23);
    QCOMPARE(mnu23->text(), QStringLiteral("查看分时"));
    mnu23->trigger();
    QCOMPARE(m_opened, QList<QUrl>{chartUrl("000001")});
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
    const QString program = dir.filePath(QStringLiteral("velmora-chart"));
    if (!script.isEmpty()) {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    WatchListModel model;
    model.appendLoaded(WatchEntry{"600000", "10", "9"});
    model.appendLoaded(WatchEntry{"000001", "10", "9"});
    QTreeView list;
    list.setModel(&model);
    list.setSelectionMode(QAbstractItemView::ExtendedSelection);
    ChartViewer charts(&list, &model, kChartBase,
                       std::make_unique<ProcessViewerLauncher>(program, QStringLiteral("site")));
    list.selectionModel()->select(model.index(0, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(model.index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    charts.mnu23_Click();
    QVERIFY(m_opened.isEmpty()); // nothing is decided before the process has had its say
    QTRY_COMPARE_WITH_TIMEOUT(m_opened, QList<QUrl>{chartUrl("000001")}, 15000);
    QTRY_VERIFY(charts.viewer() == nullptr);
}

QTEST_MAIN(TestChartViewer)
#include "test_chartviewer.moc"
