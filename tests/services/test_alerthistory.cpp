// The history of alerts as the program keeps it: cut back to the newest records, a failure told
// once, nothing written lost, cleared and exported.
#include "services/alerthistory.h"
#include "support/tempdir.h"

#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;

namespace {

const std::string kHead = "\xEF\xBB\xBF时间,代码,名称,价格,条件\r\n";

AlertRecord alertOf(const std::string &code)
{
    return {"2026-12-08 10:31:05", code, "股票,甲", "7.85", "跌幅达到 3%"};
}

// A history of count records, coded "0", "1", ... oldest first.
std::string historyOf(std::size_t count)
{
    std::vector<AlertRecord> records;
    for (std::size_t i = 0; i < count; ++i)
        records.push_back(alertOf(std::to_string(i)));
    return AlertLogCsv(records);
}

} // namespace

class TestAlertHistory : public QObject
{
    Q_OBJECT

private slots:
    void cutBackPastTheSlack_data();
    void cutBackPastTheSlack();
    void failureToldOnce();
    void clearedAndExported();
};

void TestAlertHistory::cutBackPastTheSlack_data()
{
    QTest::addColumn<int>("before");     // records in the file at start
    QTest::addColumn<bool>("blocked");   // a folder stands where the rewritten file goes
    QTest::addColumn<int>("after");
    QTest::addColumn<QString>("oldest"); // code of the first record kept
    QTest::addColumn<int>("told");
    QTest::newRow("at the slack: kept") << 10499 << false << 10500 << "0" << 0;
    QTest::newRow("past the slack: the newest 10000") << 10500 << false << 10000 << "501" << 0;
    QTest::newRow("past the slack, cannot rewrite: all kept, told")
        << 10500 << true << 10501 << "0" << 1;
}

void TestAlertHistory::cutBackPastTheSlack()
{
    QFETCH(int, before);
    QFETCH(bool, blocked);
    QFETCH(int, after);
    QFETCH(QString, oldest);
    QFETCH(int, told);
    QTemporaryDir dir;
    writeFile(pathOf(dir) / kAlertLogFileName, historyOf(std::size_t(before)));
    if (blocked) {
        std::filesystem::create_directory(pathOf(dir) / "AlertLog.csv.new");
        writeFile(pathOf(dir) / "AlertLog.csv.new" / "inside", "x");
    }
    AlertHistory history(pathOf(dir));
    QSignalSpy failed(&history, &AlertHistory::writeFailed);
    QSignalSpy recorded(&history, &AlertHistory::recorded);
    history.record(alertOf("new"));
    const auto records = history.records();
    QCOMPARE(int(records.size()), after);
    QCOMPARE(QString::fromStdString(records.front().code), oldest);
    QCOMPARE(records.back(), alertOf("new"));
    QCOMPARE(recorded.count(), 1);
    QCOMPARE(failed.count(), told);
    if (told)
        QVERIFY(failed.at(0).at(0).toString().startsWith("无法精简预警记录 AlertLog.csv（是一个文件夹而不是文件）"));
}

void TestAlertHistory::failureToldOnce()
{
    QTemporaryDir dir;
    std::filesystem::create_directory(pathOf(dir) / kAlertLogFileName);
    AlertHistory history(pathOf(dir));
    QSignalSpy failed(&history, &AlertHistory::writeFailed);
    QSignalSpy recorded(&history, &AlertHistory::recorded);
    history.record(alertOf("600000"));
    history.record(alertOf("000001"));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).toString(),
             "无法写入预警记录 AlertLog.csv（是一个文件夹而不是文件）。预警照常提示，但这条没有记下。");
    QCOMPARE(recorded.count(), 0);
    QVERIFY(history.records().empty());
    QCOMPARE(history.lastReadProblem(), "无法读取预警记录 AlertLog.csv（是一个文件夹而不是文件）。");
    QVERIFY(!history.clear().ok);
}

void TestAlertHistory::clearedAndExported()
{
    QTemporaryDir dir;
    AlertHistory history(pathOf(dir));
    QVERIFY(history.records().empty());
    QVERIFY(history.lastReadProblem().isEmpty());
    history.record(alertOf("600000"));
    history.record(alertOf("000001"));
    const ActionResult exported = history.exportTo(dir.filePath("out.csv"));
    QVERIFY(exported.ok);
    QCOMPARE(exported.message, "已把 2 条预警记录导出到 out.csv。");
    QCOMPARE(readFile(pathOf(dir) / "out.csv"), readFile(history.file()));
    QCOMPARE(readFile(history.file()), historyOf(0) + AlertLogLine(alertOf("600000")) + AlertLogLine(alertOf("000001")));
    QVERIFY(history.clear().ok);
    QCOMPARE(readFile(history.file()), kHead);
    QCOMPARE(listing(pathOf(dir)), (std::set<std::string>{"AlertLog.csv", "out.csv"}));
}

QTEST_GUILESS_MAIN(TestAlertHistory)
#include "test_alerthistory.moc"
