// The history of alerts as a file: each record as a line and back, read however the file was
// left, and added at the end without touching what is there.
#include "core/alertlog.h"
#include "support/tempdir.h"

#include <QTest>

#include <cerrno>

using namespace velmora;
using namespace velmora::testing;

namespace {

const std::string kHead = "\xEF\xBB\xBF时间,代码,名称,价格,条件\r\n";

AlertRecord sample(const char *code)
{
    return {"2026-12-08 10:31:05", code, "浦发银行", "7.85", "高于止盈价 7.80"};
}

} // namespace

class TestAlertLog : public QObject
{
    Q_OBJECT

private slots:
    void recordRoundTrips_data();
    void recordRoundTrips();
    void readingToleratesHandEdits_data();
    void readingToleratesHandEdits();
    void appendKeepsWhatIsThere_data();
    void appendKeepsWhatIsThere();
    void folderInPlaceOfTheFile();
};

void TestAlertLog::recordRoundTrips_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line"); // as written, without its CR LF
    QTest::newRow("plain Chinese") << "浦发银行" << "2026-12-08 10:31:05,600000,浦发银行,7.85,涨幅达到 3%";
    QTest::newRow("a comma in the name") << "招商,银行" << "2026-12-08 10:31:05,600000,\"招商,银行\",7.85,涨幅达到 3%";
    QTest::newRow("a quote in the name") << "A\"B" << "2026-12-08 10:31:05,600000,\"A\"\"B\",7.85,涨幅达到 3%";
    QTest::newRow("an empty name") << "" << "2026-12-08 10:31:05,600000,,7.85,涨幅达到 3%";
}

void TestAlertLog::recordRoundTrips()
{
    QFETCH(QString, name);
    QFETCH(QString, line);
    const AlertRecord record{"2026-12-08 10:31:05", "600000", name.toStdString(), "7.85", "涨幅达到 3%"};
    const std::string bytes = AlertLogCsv({record, sample("000001")});
    QCOMPARE(bytes, kHead + line.toStdString() + "\r\n" + AlertLogLine(sample("000001")));
    QCOMPARE(ReadAlertLog(bytes), (std::vector<AlertRecord>{record, sample("000001")}));
}

void TestAlertLog::readingToleratesHandEdits_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("codes"); // of the records read, oldest first
    QTest::newRow("nothing") << QByteArray() << "";
    QTest::newRow("header only") << QByteArray(kHead.c_str()) << "";
    QTest::newRow("no byte order mark") << QByteArray("时间,代码,名称,价格,条件\r\nt,600000,n,1,c\r\n") << "600000";
    QTest::newRow("no header, LF line ends") << QByteArray("t,600000,n,1,c\nt,000001,n,1,c") << "600000 000001";
    QTest::newRow("blank lines between") << QByteArray("\xEF\xBB\xBFt,600000,n,1,c\r\n\r\n,,,,\r\nt,00700,n,1,c\r\n")
                                         << "600000 00700";
    QTest::newRow("a short line") << QByteArray("t,600000\r\n") << "600000";
}

void TestAlertLog::readingToleratesHandEdits()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, codes);
    QStringList read;
    for (const AlertRecord &record : ReadAlertLog(bytes.toStdString()))
        read << QString::fromStdString(record.code);
    QCOMPARE(read.join(' '), codes);
}

void TestAlertLog::appendKeepsWhatIsThere_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("added"); // what comes before the new line
    const QByteArray head = QByteArray::fromStdString(kHead);
    QTest::newRow("no file: created with its header") << false << QByteArray() << head;
    QTest::newRow("an empty file gets its header") << true << QByteArray() << head;
    QTest::newRow("records already there") << true << head + "t,600000,n,1,c\r\n" << QByteArray();
    QTest::newRow("a last line without its end") << true << head + "t,600000,n,1,c" << QByteArray("\r\n");
}

void TestAlertLog::appendKeepsWhatIsThere()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, added);
    QTemporaryDir dir;
    const auto file = pathOf(dir) / kAlertLogFileName;
    if (exists)
        writeFile(file, before.toStdString());
    QVERIFY(!AppendAlertRecord(file, sample("300750")));
    const std::string once = (before + added).toStdString() + AlertLogLine(sample("300750"));
    QCOMPARE(readFile(file), once);
    QVERIFY(!AppendAlertRecord(file, sample("00700")));
    QCOMPARE(readFile(file), once + AlertLogLine(sample("00700")));
}

void TestAlertLog::folderInPlaceOfTheFile()
{
    QTemporaryDir dir;
    const auto file = pathOf(dir) / kAlertLogFileName;
    std::filesystem::create_directory(file);
    writeFile(file / "inside", "x");
    const auto listed = listing(pathOf(dir));
    const auto appended = AppendAlertRecord(file, sample("600000"));
    QVERIFY(appended);
    QCOMPARE(appended->number, EISDIR);
    QVERIFY(RewriteAlertLog(file, {sample("600000")}));
    QCOMPARE(listing(pathOf(dir)), listed);
    QCOMPARE(listing(file), std::set<std::string>{"inside"});
}

QTEST_APPLESS_MAIN(TestAlertLog)
#include "test_alertlog.moc"
