// What each change a user asks of the list comes to: whether it was done, what the user is told,
// and what the list then holds. No window: the results are what the windows would show.
#include "core/holdings.h"
#include "core/snapshots.h"
#include "services/listactions.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QTest>

#include <sys/stat.h>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(velmora::testing::Files)

class TestListActions : public QObject
{
    Q_OBJECT

private slots:
    void results_data();
    void results();
    void exportThenImportKeepsTheFiles_data();
    void exportThenImportKeepsTheFiles();
    void holdings_data();
    void holdings();
    void holdingsExportImportExportSameBytes();
};

void TestListActions::results_data()
{
    QTest::addColumn<QString>("action"); // what is asked, with its argument after a blank
    QTest::addColumn<bool>("unreadable"); // Setting.ini is a folder: the run writes nothing
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("said");  // the start of the message, empty for none
    QTest::addColumn<QString>("codes"); // the list afterwards

    QTest::newRow("add") << "add 300750" << false << true << "" << "600000 000001 300750";
    QTest::newRow("add without a copy first: done, and said")
        << "add-nocopy 300750" << false << true << "无法在 backups 文件夹中保存这次修改前的副本"
        << "600000 000001 300750";
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
    QTest::newRow("import a negative threshold") << "import 300750,-1,150\r\n" << false << false
                                                 << "文件 table.csv 中有不能导入的行" << "600000 000001";
    QTest::newRow("import a text threshold, as the add dialog keeps it")
        << "import 300750,现价的5%,150\r\n" << false << true
        << "已从 table.csv 导入 1 只股票。\n这些行按原样导入：\n第 1 行：止盈价不是数字"
        << "600000 000001 300750";
    QTest::newRow("import a FIFO") << "import-fifo" << false << false << "无法读取文件 table.csv（不是普通文件）"
                                   << "600000 000001";
    QTest::newRow("import a file over 8 MiB") << "import-huge" << false << false
                                              << "无法读取文件 table.csv（超过 8 MiB）" << "600000 000001";
    QTest::newRow("edit to a negative number") << "edit -5" << false << false << "止盈价不能是负数"
                                               << "600000 000001";
    QTest::newRow("export, list unreadable") << "export" << true << false << "无法读取自选股文件" << "";
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
    } else if (verb == "add-nocopy") {
        writeFile(path / kSnapshotFolderName, ""); // backups/ cannot be made
        result = actions.add({argument.toStdString(), "1", "2"});
        QVERIFY(result.warning);
    } else if (verb == "remove") {
        result = actions.remove(argument.toInt());
    } else if (verb == "edit") {
        result = actions.editThreshold(0, WatchList::TakeProfit, argument);
    } else if (verb == "import") {
        writeFile(table.toStdString(), argument.toStdString());
        result = actions.importFile(table);
    } else if (verb == "import-fifo") { // would hang a reader that waits for a writer
        QVERIFY(mkfifo(table.toLocal8Bit().constData(), 0600) == 0);
        result = actions.importFile(table);
    } else if (verb == "import-huge") {
        fs::resize_file((writeFile(table.toStdString(), "600036,1,2\r\n"), table.toStdString()),
                        8 * 1024 * 1024 + 1);
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

// A list exported, then imported into a fresh folder, gives the same files byte for byte:
// whatever the add dialog stored (typed text is written as UTF-8), blanks, commas and quotes,
// empty codes and empty rows included.
void TestListActions::exportThenImportKeepsTheFiles_data()
{
    QTest::addColumn<Files>("files");
    QTest::newRow("numbers") << Files{"600000\r\n000001\r\n", "10.5\r\n12\r\n", "9\r\n\r\n"};
    QTest::newRow("text typed into the add dialog")
        << Files{"600000\r\n", "现价的5%\r\n", "现价的-5%\r\n"};
    QTest::newRow("blanks, commas and quotes")
        << Files{" 600000\r\n6,\"0\"\r\n", " 10.5 \r\n\t1\r\n", "a,b\r\n\"\r\n"};
    QTest::newRow("an empty code and an empty row")
        << Files{"\r\n\r\n600000\r\n", "1\r\n\r\n\r\n", "2\r\n\r\n\r\n"};
}

void TestListActions::exportThenImportKeepsTheFiles()
{
    QFETCH(Files, files);
    QTemporaryDir from, to;
    putThree(pathOf(from), files);
    WatchList source(pathOf(from));
    QVERIFY(!source.load());
    const QString table = to.filePath("list.csv");
    QVERIFY(ListActions(source).exportFile(table).ok);
    WatchList fresh(pathOf(to));
    QVERIFY(!fresh.load());
    const ActionResult imported = ListActions(fresh).importFile(table);
    QVERIFY2(imported.ok, qPrintable(imported.message));
    QCOMPARE(snapshot(pathOf(to)), files);
}

namespace {

const QByteArray kLotsHead = "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n";
const QByteArray kTwoLots = kLotsHead + "600000,2026-12-01,1000,7.00\r\n000001,2026-01-05,200,0.007\r\n";

// The lots as "code:shares@cost" in their order.
QString lotsText(const Lots &lots)
{
    QStringList out;
    for (const Lot &lot : lots)
        out << QString::fromStdString(lot.code + ":" + std::to_string(lot.shares) + "@" + lot.cost);
    return out.join(' ');
}

} // namespace

void TestListActions::holdings_data()
{
    QTest::addColumn<QByteArray>("lotsFile"); // empty: none; "<folder>": cannot be read
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("lots"); // afterwards, in the list and on disk

    const QString unreadable = "无法读取持仓文件 Holdings.csv";
    QTest::newRow("import lots, a new code comes in as a row")
        << QByteArray() << "import 代码,买入日期,数量,成本价\r\n600000,2026-12-01,1000,7.00\r\n00700,2026-11-02,100,300\r\n"
        << true << "已从 table.csv 导入 2 笔持仓。\n新加入自选股 1 只。" << "600000 000001 00700"
        << "600000:1000@7.00 00700:100@300";
    QTest::newRow("import lots with a bad line: nothing")
        << kTwoLots << "import 代码,买入日期,数量,成本价\r\n600036,2999-01-01,1,1\r\n" << false
        << "文件 table.csv 中有不能导入的行，没有导入任何持仓：\n第 2 行：买入日期在今天之后" << "600000 000001"
        << "600000:1000@7.00 000001:200@0.007";
    QTest::newRow("import lots, lots file unreadable")
        << QByteArray("<folder>") << "import 代码,买入日期,数量,成本价\r\n600000,2026-12-01,1,1\r\n"
        << false << unreadable << "600000 000001" << "";
    QTest::newRow("a lots file that is not lots is not overwritten")
        << kLotsHead + "600000,tomorrow,1,1\r\n" << "set 2026-12-01,5,1" << false << unreadable
        << "600000 000001" << "";
    QTest::newRow("set a code's lots where its first stood")
        << kTwoLots + "600000,2026-12-02,5,1\r\n" << "set 2026-12-03,7,0.0070" << true << ""
        << "600000 000001" << "600000:7@0.0070 000001:200@0.007";
    QTest::newRow("set lots: every bad lot named")
        << kTwoLots << "set 2026-12-01,0,1;2999-01-01,1,-1" << false
        << "持仓没有保存：\n第 1 笔：数量须为大于零的整数：0\n第 2 笔：买入日期在今天之后" << "600000 000001"
        << "600000:1000@7.00 000001:200@0.007";
    QTest::newRow("removing the last row of a code takes its lots")
        << kTwoLots << "remove 0" << true << "" << "000001" << "000001:200@0.007";
    QTest::newRow("removing a row, lots unreadable: they stay as they are")
        << QByteArray("<folder>") << "remove 0" << true << "" << "000001" << "";
    QTest::newRow("export lots") << kTwoLots << "export" << true << "已把 2 笔持仓导出到 table.csv"
                                 << "600000 000001" << "600000:1000@7.00 000001:200@0.007";
    QTest::newRow("export, lots unreadable")
        << QByteArray("<folder>") << "export" << false << unreadable << "600000 000001" << "";
    QTest::newRow("restore brings the lots back with the list")
        << kTwoLots << "set-then-restore 2026-12-03,7,1" << true << "自选股列表已恢复到"
        << "600000 000001" << "600000:1000@7.00 000001:200@0.007";
    QTest::newRow("restore a copy taken without lots removes them")
        << QByteArray() << "set-then-restore 2026-12-03,7,1" << true << "自选股列表已恢复到"
        << "600000 000001" << "";
}

void TestListActions::holdings()
{
    QFETCH(QByteArray, lotsFile);
    QFETCH(QString, action);
    QFETCH(bool, ok);
    QFETCH(QString, said);
    QFETCH(QString, codes);
    QFETCH(QString, lots);

    QTemporaryDir dir;
    const fs::path path = pathOf(dir);
    putThree(path, {"600000\r\n000001\r\n", "10.5\r\n12\r\n", "9\r\n\r\n"});
    if (lotsFile == "<folder>")
        fs::create_directory(path / kHoldingsFileName);
    else if (!lotsFile.isEmpty())
        writeFile(path / kHoldingsFileName, lotsFile.toStdString());
    WatchList list(path);
    QVERIFY(!list.load());
    QCOMPARE(bool(list.holdingsProblem()), lotsFile == "<folder>" || lotsFile.contains("tomorrow"));
    ListActions actions(list);

    const QString verb = action.section(' ', 0, 0);
    const QString argument = action.section(' ', 1);
    const QString table = dir.filePath("table.csv");
    std::vector<std::array<std::string, 3>> typed;
    for (const QString &lot : argument.split(';')) {
        const QStringList fields = lot.split(',');
        if (fields.size() == 3)
            typed.push_back({fields[0].toStdString(), fields[1].toStdString(), fields[2].toStdString()});
    }
    ActionResult result;
    if (verb == "import") {
        writeFile(table.toStdString(), argument.toStdString());
        result = actions.importAnyTable(table);
    } else if (verb == "set") {
        result = actions.setLots("600000", typed);
    } else if (verb == "remove") {
        result = actions.remove(argument.toInt());
    } else if (verb == "export") {
        result = actions.exportHoldings(table);
    } else {
        QVERIFY(actions.setLots("600000", typed).ok);
        QCOMPARE(lotsText(list.lotsOf("600000").empty() ? Lots() : Lots{*list.lotsOf("600000").front()}),
                 "600000:7@1");
        result = actions.restore(list.snapshots().front().name);
    }
    QCOMPARE(result.ok, ok);
    QVERIFY2(said.isEmpty() ? result.message.isEmpty() == ok : result.message.startsWith(said),
             qPrintable(result.message));
    QStringList shown;
    for (int row = 0; row < list.rowCount(); ++row)
        shown << list.text(row, WatchList::Code);
    QCOMPARE(shown.join(' '), codes);
    QCOMPARE(lotsText(list.lots()), lots);
    // What the list shows is what the disk holds, and an unreadable lots file stays untouched.
    WatchList again(path);
    QVERIFY(!again.load());
    QCOMPARE(again.entries(), list.entries());
    QCOMPARE(lotsText(again.lots()), lots);
    if (lotsFile == "<folder>")
        QVERIFY(fs::is_directory(path / kHoldingsFileName));
    else if (lotsFile.contains("tomorrow"))
        QCOMPARE(QByteArray::fromStdString(readFile(path / kHoldingsFileName)), lotsFile);
}

// Lots exported, imported into a fresh folder and exported again: the same bytes.
void TestListActions::holdingsExportImportExportSameBytes()
{
    QTemporaryDir from, to;
    putThree(pathOf(from), {"600000\r\n", "\r\n", "\r\n"});
    writeFile(pathOf(from) / kHoldingsFileName,
              (kTwoLots + "\"岚溪,科技\",2026-11-02,3,12\r\n600000,2026-12-02,5,0.0070\r\n").toStdString());
    WatchList source(pathOf(from));
    QVERIFY(!source.load());
    const QString first = to.filePath("first.csv"), second = to.filePath("second.csv");
    QVERIFY(ListActions(source).exportHoldings(first).ok);
    WatchList fresh(pathOf(to) / "data");
    fs::create_directory(pathOf(to) / "data");
    QVERIFY(!fresh.load());
    QVERIFY(ListActions(fresh).importHoldings(first).ok);
    QVERIFY(ListActions(fresh).exportHoldings(second).ok);
    QCOMPARE(readFile(second.toStdString()), readFile(first.toStdString()));
    QCOMPARE(readFile(first.toStdString()), readFile(pathOf(from) / kHoldingsFileName));
}

QTEST_GUILESS_MAIN(TestListActions)
#include "test_listactions.moc"
