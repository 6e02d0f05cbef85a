// What each change a user asks of the list comes to: whether it was done, what the user is told,
// and what the list then holds. No window: the results are what the windows would show.
#include "services/listactions.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QTest>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

class TestListActions : public QObject
{
    Q_OBJECT

private slots:
    void results_data();
    void results();
};

void TestListActions::results_data()
{
    QTest::addColumn<QString>("action"); // what is asked, with its argument after a blank
    QTest::addColumn<bool>("unreadable"); // Setting.ini is a folder: the run writes nothing
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("said");  // the start of the message, empty for none
    QTest::addColumn<QString>("codes"); // the list afterwards

    QTest::newRow("add") << "add 300750" << false << true << "" << "600000 000001 300750";
    QTest::newRow("add, list unreadable")
        << "add 300750" << true << false << "启动时无法读取" << "";
    QTest::newRow("remove") << "remove 0" << false << true << "" << "000001";
    QTest::newRow("remove, no such row") << "remove 5" << false << true << "" << "600000 000001";
    QTest::newRow("edit to a number") << "edit 10.8" << false << true << "" << "600000 000001";
    QTest::newRow("edit to text") << "edit 现价的6%" << false << false << "止盈价只能留空或填写一个数字"
                                  << "600000 000001";
    QTest::newRow("edit, unchanged") << "edit 10.5" << false << true << "" << "600000 000001";
    QTest::newRow("import two rows")
        << "import 代码,止盈价,止损价\r\n300750,200,150\r\n600036,40,30\r\n" << false << true
        << "已从 table.csv 导入 2 只股票" << "600000 000001 300750 600036";
    QTest::newRow("import a bad line") << "import 300750,abc,150\r\n" << false << false
                                       << "文件 table.csv 中有不能导入的行" << "600000 000001";
    QTest::newRow("import nothing") << "import 代码,止盈价,止损价\r\n" << false << true
                                    << "文件 table.csv 中没有股票" << "600000 000001";
    QTest::newRow("import, list unreadable") << "import 300750,1,2\r\n" << true << false
                                             << "启动时无法读取" << "";
    QTest::newRow("export") << "export" << false << true << "已把 2 只股票导出到 table.csv"
                            << "600000 000001";
    QTest::newRow("restore a copy that is not there")
        << "restore 20260101-000000-000" << false << false << "" << "600000 000001";
}

void TestListActions::results()
{
    QFETCH(QString, action);
    QFETCH(bool, unreadable);
    QFETCH(bool, ok);
    QFETCH(QString, said);
    QFETCH(QString, codes);

    QTemporaryDir dir;
    const fs::path path = pathOf(dir);
    putThree(path, {"600000\r\n000001\r\n", "10.5\r\n12\r\n", "9\r\n\r\n"});
    if (unreadable) {
        fs::remove(path / kCodeFileName);
        fs::create_directory(path / kCodeFileName);
    }
    WatchList list(path);
    QCOMPARE(bool(list.load()), unreadable);
    ListActions actions(list);

    const QString verb = action.section(' ', 0, 0);
    const QString argument = action.section(' ', 1);
    const QString table = dir.filePath("table.csv");
    ActionResult result;
    if (verb == "add") {
        result = actions.add({argument.toStdString(), "1", "2"});
    } else if (verb == "remove") {
        result = actions.remove(argument.toInt());
    } else if (verb == "edit") {
        result = actions.editThreshold(0, WatchList::TakeProfit, argument);
    } else if (verb == "import") {
        writeFile(table.toStdString(), argument.toStdString());
        result = actions.importFile(table);
    } else if (verb == "export") {
        result = actions.exportFile(table);
    } else {
        result = actions.restore(argument.toStdString());
    }
    QCOMPARE(result.ok, ok);
    if (said.isEmpty())
        QCOMPARE(result.message.isEmpty(), ok);
    else
        QVERIFY2(result.message.startsWith(said), qPrintable(result.message));
    QStringList shown;
    for (int row = 0; row < list.rowCount(); ++row)
        shown << list.text(row, WatchList::Code);
    QCOMPARE(shown.join(' '), codes);
    // What the list shows is what the disk holds.
    if (!unreadable) {
        WatchList again(path);
        QVERIFY(!again.load());
        QCOMPARE(again.entries(), list.entries());
    }
}

QTEST_GUILESS_MAIN(TestListActions)
#include "test_listactions.moc"
