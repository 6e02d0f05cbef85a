// The list's context menu and the tray's "添加股票": when the menu shows, and that its commands
// reach the add dialog, the removal of the right row and the chart page. The list's own rules
// for its files are in the watch-list test.
#include "support/sources.h"
#include "services/viewerprocess.h"
#include "support/appfixture.h"
#include "ui/holdingswindow.h"

#include <QTableWidget>

using namespace velmora;
using namespace velmora::testing;

namespace {

QStringList codes(const WatchList &list)
{
    QStringList codes;
    for (int row = 0; row < list.rowCount(); ++row)
        codes << list.text(row, WatchList::Code);
    return codes;
}

} // namespace

class TestListMenu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { f.reset(); }
    void contextMenu_data();
    void contextMenu();
    void removeTakesFirstSelectedRow_data();
    void removeTakesFirstSelectedRow();
    void removalFailureKeepsRow();
    void lastRowOfACodeWithLotsAsksFirst();
    void lotsWindowSavesEachChange();
    void bothMenusOpenOneDialog();
    void chartWithoutViewerOpensBrowser();

private:
    std::unique_ptr<AppFixture> f;
};

// Three rows; the test starts the program.
void TestListMenu::init()
{
    f = std::make_unique<AppFixture>();
    f->putFiles("600000\r\n000001\r\n300750\r\n", "10.5\r\n12\r\n\r\n", "9.5\r\n8\r\n-\r\n");
}

void TestListMenu::contextMenu_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("overRow");
    QTest::addColumn<bool>("shown");
    QTest::newRow("right button over a row") << Qt::RightButton << true << true;
    QTest::newRow("right button below the rows") << Qt::RightButton << false << true;
    QTest::newRow("left button") << Qt::LeftButton << true << false;
    QTest::newRow("middle button") << Qt::MiddleButton << true << false;
}

void TestListMenu::contextMenu()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, overRow);
    QFETCH(bool, shown);
    QVERIFY(f->start());
    QWidget *viewport = f->view()->viewport();
    const QPoint at = overRow ? f->rowCentre(1) : QPoint(20, viewport->height() - 5);
    QTest::mousePress(viewport, button, {}, at);
    QVERIFY(!f->window().contextMenu()->isVisible()); // the release shows it, not the press
    QTest::mouseRelease(viewport, button, {}, at);
    QCOMPARE(f->window().contextMenu()->isVisible(), shown);
    if (shown)
        QCOMPARE(f->window().contextMenu()->pos(), viewport->mapToGlobal(at));
    f->window().contextMenu()->hide();
}

void TestListMenu::removeTakesFirstSelectedRow_data()
{
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<int>("rightClicked"); // -1: no right click
    QTest::addColumn<QStringList>("left");
    QTest::newRow("the middle row") << QList<int>{1} << -1 << QStringList{"600000", "300750"};
    QTest::newRow("several selected: the first in list order goes")
        << QList<int>{2, 1} << -1 << QStringList{"600000", "300750"};
    QTest::newRow("nothing selected: nothing goes")
        << QList<int>{} << -1 << QStringList{"600000", "000001", "300750"};
    // The right press selects the row under the pointer before the menu shows.
    QTest::newRow("the right-clicked row, not the one selected before")
        << QList<int>{0} << 1 << QStringList{"600000", "300750"};
}

void TestListMenu::removeTakesFirstSelectedRow()
{
    QFETCH(QList<int>, selected);
    QFETCH(int, rightClicked);
    QFETCH(QStringList, left);
    QVERIFY(f->start());
    f->select(selected);
    if (rightClicked >= 0) {
        QTest::mouseClick(f->view()->viewport(), Qt::RightButton, {}, f->rowCentre(rightClicked));
        QVERIFY(f->window().contextMenu()->isVisible());
    }
    f->action("mnu22")->trigger();
    f->window().contextMenu()->hide();
    QCOMPARE(codes(f->list()), left);
    QCOMPARE(QString::fromStdString(readFile(f->dataPath() / "Setting.ini")),
             left.join("\r\n") + "\r\n");
    QVERIFY(f->messages.isEmpty());
}

void TestListMenu::removalFailureKeepsRow()
{
    const auto files = snapshot(f->dataPath());
    QVERIFY(f->start());
    QVERIFY(
        f->list().applyQuote(f->list().rowAt(1).id, QuoteOf("杉屿医药", "12.5", "12.9", "12.1", "-0.8%"), 1));
    f->select({1});
    std::filesystem::create_directory(f->dataPath() / "Setting2.ini.new");

    f->action("mnu22")->trigger();
    QCOMPARE(f->messages.size(), 1);
    QVERIFY2(f->messages[0].contains("Setting2.ini") && f->messages[0].contains("股票没有删除"),
             qPrintable(f->messages[0]));
    // The row stays at its place with what the refresh had written, and still selected.
    QCOMPARE(codes(f->list()), (QStringList{"600000", "000001", "300750"}));
    QCOMPARE(f->list().text(1, WatchList::Price), "12.5");
    QCOMPARE(f->window().selectedPositions(), QList<int>{1});
    QCOMPARE(snapshot(f->dataPath()), files);
}

// Only the last row of a code takes its lots along, and only when the user says so.
void TestListMenu::lastRowOfACodeWithLotsAsksFirst()
{
    f->putFiles("600000\r\n000001\r\n600000\r\n", "\r\n\r\n\r\n", "\r\n\r\n\r\n");
    const std::string lots = "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n600000,2026-12-01,1000,7.00\r\n"
                             "600000,2026-12-02,500,7.80\r\n";
    writeFile(f->dataPath() / kHoldingsFileName, lots);
    QVERIFY(f->start());
    f->select({2}); // 600000 is on the list twice: no question
    f->action("mnu22")->trigger();
    QVERIFY(f->messages.isEmpty());
    Messages::setAnswerForTests(false);
    f->select({0});
    f->action("mnu22")->trigger();
    QCOMPARE(f->messages.takeLast(), "该股票有 2 笔持仓记录，一并删除？");
    QCOMPARE(codes(f->list()), (QStringList{"600000", "000001"}));
    QCOMPARE(readFile(f->dataPath() / kHoldingsFileName), lots);
    Messages::setAnswerForTests(true);
    f->action("mnu22")->trigger();
    QCOMPARE(f->messages.takeLast(), "该股票有 2 笔持仓记录，一并删除？");
    QCOMPARE(codes(f->list()), QStringList{"000001"});
    QCOMPARE(readFile(f->dataPath() / kHoldingsFileName), "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n");
}

// 持仓… on a row: each add, edit and removal is saved at once; a bad lot is refused and said.
void TestListMenu::lotsWindowSavesEachChange()
{
    QVERIFY(f->start());
    f->select({1});
    f->action("holdingsItem")->trigger();
    HoldingsWindow *window = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        window = window ? window : qobject_cast<HoldingsWindow *>(top);
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->code(), "000001");
    auto typeLot = [&](const char *date, const char *shares, const char *cost) {
        f->box(window, "lotDate")->setText(QString::fromUtf8(date));
        f->box(window, "lotShares")->setText(QString::fromUtf8(shares));
        f->box(window, "lotCost")->setText(QString::fromUtf8(cost));
    };
    auto file = [this] { return readFile(f->dataPath() / kHoldingsFileName); };
    const std::string head = "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n";

    typeLot("2026-12-01", "200", "0.007");
    f->button(window, "addLot")->click();
    typeLot("2026-12-02", "100", "10.5");
    f->button(window, "addLot")->click();
    QCOMPARE(file(), head + "000001,2026-12-01,200,0.007\r\n000001,2026-12-02,100,10.5\r\n");
    QVERIFY(f->messages.isEmpty());

    typeLot("2999-01-01", "0", "-1");
    f->button(window, "addLot")->click();
    QCOMPARE(f->messages.takeLast(), "持仓没有保存：\n第 3 笔：买入日期在今天之后：2999-01-01；"
                                     "数量须为大于零的整数：0；成本价须为不小于零的数字：-1");
    QCOMPARE(window->findChild<QTableWidget *>("lotsTable")->rowCount(), 2);

    auto *table = window->findChild<QTableWidget *>("lotsTable");
    table->selectRow(0);
    QCOMPARE(f->box(window, "lotShares")->text(), "200");
    typeLot("2026-12-01", "300", "0.007");
    f->button(window, "editLot")->click();
    table->selectRow(1);
    f->button(window, "removeLot")->click();
    QCOMPARE(file(), head + "000001,2026-12-01,300,0.007\r\n");
    QCOMPARE(f->list().text(1, WatchList::Shares), "300");
    window->close();
}

// "添加股票" of either menu opens the one dialog, also while the main window is in the tray.
void TestListMenu::bothMenusOpenOneDialog()
{
    QVERIFY(f->start());
    QVERIFY(!f->app->windows().addDialog());
    f->action("mn17")->trigger();
    QPointer<AddStockDialog> fromTray = f->app->windows().addDialog();
    QVERIFY(fromTray && fromTray->isVisible());
    f->action("mnu21")->trigger();
    QCOMPARE(f->app->windows().addDialog(), fromTray.data());

    fromTray->close();
    QTRY_VERIFY(!fromTray);
    f->window().hide();
    f->action("mn17")->trigger();
    QVERIFY(f->app->windows().addDialog() && f->app->windows().addDialog()->isVisible());
}

// "查看分时" with no chart viewer beside the program: the selected row's chart page opens in
// the user's browser.
void TestListMenu::chartWithoutViewerOpensBrowser()
{
    QVERIFY(FindViewerExecutable(ViewerSearchDirs()).isEmpty());
    QVERIFY(f->start());
    f->select({1});
    f->action("mnu23")->trigger();
    QCOMPARE(f->opened,
             QList<QUrl>{QUrl(f->server.baseUrl().toString() + "/cn/000001/index_kp.shtml")});
}

QTEST_MAIN(TestListMenu)
#include "test_listmenu.moc"
