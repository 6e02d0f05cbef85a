#include "core/watchlistcsv.h"

#include <QElapsedTimer>
#include <QTest>

using namespace velmora;

Q_DECLARE_METATYPE(velmora::WatchEntries)

namespace {

const QByteArray kHead = "\xEF\xBB\xBF代码,止盈价,止损价\r\n";

std::vector<CsvRow> csvRows(const WatchEntries &entries)
{
    std::vector<CsvRow> rows;
    for (const auto &entry : entries)
        rows.push_back({entry.code, entry.takeProfit, entry.stopLoss});
    return rows;
}

} // namespace

class TestWatchListCsv : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
    void read_data();
    void read();
    void reject_data();
    void reject();
    void longProblemListIsCut_data();
    void longProblemListIsCut();
    void roundTrip_data();
    void roundTrip();
    void tenThousandRecords();
};

void TestWatchListCsv::write_data()
{
    QTest::addColumn<WatchEntries>("rows");
    QTest::addColumn<QByteArray>("csv");
    QTest::newRow("no rows: mark and header only") << WatchEntries{} << kHead;
    QTest::newRow("plain rows, empty thresholds stay empty")
        << WatchEntries{{"600000", "10.5", "9.5"}, {"岚溪科技", "", ""}}
        << kHead + "600000,10.5,9.5\r\n岚溪科技,,\r\n";
    QTest::newRow("comma, quote and line break quoted, quotes doubled")
        << WatchEntries{{"a,b", "say \"x\"", "l1\r\nl2"}, {"\r", "\n", ""}}
        << kHead + "\"a,b\",\"say \"\"x\"\"\",\"l1\r\nl2\"\r\n\"\r\",\"\n\",\r\n";
    QTest::newRow("blanks at either end quoted, inside not")
        << WatchEntries{{" 600000", "1 2", "3\t"}} << kHead + "\" 600000\",1 2,\"3\t\"\r\n";
}

void TestWatchListCsv::write()
{
    QFETCH(WatchEntries, rows);
    QFETCH(QByteArray, csv);
    QCOMPARE(QByteArray::fromStdString(WatchListCsv(csvRows(rows))), csv);
}

void TestWatchListCsv::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<WatchEntries>("entries");
    QTest::newRow("empty text") << QByteArray() << WatchEntries{};
    QTest::newRow("only a header") << kHead << WatchEntries{};
    QTest::newRow("mark, header and CR LF")
        << kHead + "600000,10.5,9.5\r\n" << WatchEntries{{"600000", "10.5", "9.5"}};
    QTest::newRow("no header; LF, lone CR, missing thresholds")
        << QByteArray("600000,1,2\n600001\r000002,,3")
        << WatchEntries{{"600000", "1", "2"}, {"600001", "", ""}, {"000002", "", "3"}};
    QTest::newRow("header after blank lines, blanks around its first field")
        << QByteArray("\r\n 代码 ,x\r\n600000") << WatchEntries{{"600000", "", ""}};
    QTest::newRow("only the first record can be the header")
        << QByteArray("600000\n代码") << WatchEntries{{"600000", "", ""}, {"代码", "", ""}};
    QTest::newRow("tab separated")
        << QByteArray("代码\t止盈价\t止损价\n600000\t1\t2\n\"a,b\"\t\t3")
        << WatchEntries{{"600000", "1", "2"}, {"a,b", "", "3"}};
    QTest::newRow("tab inside quotes does not make tabs separate")
        << QByteArray("\"60\t00\",1") << WatchEntries{{"60\t00", "1", ""}};
    QTest::newRow("tab and comma on the first line: comma separates")
        << QByteArray("600000\tx,1") << WatchEntries{{"600000\tx", "1", ""}};
    QTest::newRow("blank lines and rows of empty cells skipped")
        << QByteArray("\r\n  \r\n600000,1,2\r\n,,\r\n\t\r\n")
        << WatchEntries{{"600000", "1", "2"}};
    QTest::newRow("a quoted empty code is a row")
        << QByteArray("\"\"\r\n\"\",,\r\n") << WatchEntries{{"", "", ""}, {"", "", ""}};
    QTest::newRow("quoted fields: doubled quotes, comma, blanks kept")
        << QByteArray("\"6\"\"0,0\",\"1.5\",\" 2 \"") << WatchEntries{{"6\"0,0", "1.5", " 2 "}};
    QTest::newRow("text thresholds kept as typed")
        << QByteArray("600000,现价的5%,\" 现价的-5% \"")
        << WatchEntries{{"600000", "现价的5%", " 现价的-5% "}};
    QTest::newRow("empty codes kept") << kHead + ",1,2\r\n  ,3" << WatchEntries{{"", "1", "2"}, {"  ", "3", ""}};
    QTest::newRow("text after a closing quote and a quote inside a bare value kept")
        << QByteArray("\"60\"00,1\n6\"0") << WatchEntries{{"6000", "1", ""}, {"6\"0", "", ""}};
    QTest::newRow("code kept as written, blanks around bare thresholds removed")
        << QByteArray(" 600000 , 1.5 ,\t-0\t") << WatchEntries{{" 600000 ", "1.5", "-0"}};
    QTest::newRow("trailing empty fields accepted")
        << QByteArray("600000,1,2,\n600001,,, , ")
        << WatchEntries{{"600000", "1", "2"}, {"600001", "", ""}};
}

void TestWatchListCsv::read()
{
    QFETCH(QByteArray, text);
    QFETCH(WatchEntries, entries);
    const CsvImport result = ReadWatchListCsv(text.toStdString());
    QCOMPARE(QString::fromStdString(CsvProblemsText(result.problems)), QString());
    QCOMPARE(result.entries, entries);
}

void TestWatchListCsv::reject_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problems");
    QTest::newRow("negative thresholds") << kHead + "600000,-1,-0.5" << "第 2 行：止盈价不能是负数：-1；止损价不能是负数：-0.5";
    QTest::newRow("line breaks inside and outside quotes count, a lone CR too")
        << QByteArray("\"60\r\n0\r0\",1\r,-2\n600001")
        << "第 1 行：股票代码含有换行\n第 4 行：止盈价不能是负数：-2";
    QTest::newRow("code with a NUL") << QByteArray("60\0" "00", 5) << "第 1 行：股票代码含有空字符";
    QTest::newRow("long bad value shown cut")
        << QByteArray("600000,-12345678901234567890123")
        << "第 1 行：止盈价不能是负数：-1234567890123456789…";
    QTest::newRow("fourth field, trailing empty ones not counted")
        << QByteArray("600000,1,2,x,,") << "第 1 行：字段太多（4 个，最多 3 个）";
    QTest::newRow("unterminated quote")
        << QByteArray("600000,1\r\n600001,\"2\r\n600002") << "第 2 行：引号没有结束";
    QTest::newRow("one bad record among good ones imports nothing")
        << QByteArray("600000,1\r\n600001,-1\r\n600002") << "第 2 行：止盈价不能是负数：-1";
}

void TestWatchListCsv::reject()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, problems);
    const CsvImport result = ReadWatchListCsv(text.toStdString());
    QCOMPARE(QString::fromStdString(CsvProblemsText(result.problems)), problems);
    QVERIFY(result.entries.empty());
}

void TestWatchListCsv::longProblemListIsCut_data()
{
    QTest::addColumn<int>("bad");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("last");
    QTest::newRow("twenty shown in full") << 20 << 20 << "第 20 行：止盈价不能是负数：-1";
    QTest::newRow("beyond twenty counted") << 25 << 21 << "……还有 5 行有问题";
}

void TestWatchListCsv::longProblemListIsCut()
{
    QFETCH(int, bad);
    QFETCH(int, lines);
    QFETCH(QString, last);
    std::string text;
    for (int i = 0; i < bad; ++i)
        text += "6,-1\n";
    const auto shown = QString::fromStdString(CsvProblemsText(ReadWatchListCsv(text).problems))
                           .split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), lines);
    QCOMPARE(shown.first(), QString("第 1 行：止盈价不能是负数：-1"));
    QCOMPARE(shown.last(), last);
}

// Whatever the add dialog can store comes back as it was written out.
void TestWatchListCsv::roundTrip_data()
{
    QTest::addColumn<WatchEntries>("rows");
    QTest::addColumn<int>("notes");
    QTest::newRow("numbers and empty thresholds")
        << WatchEntries{{"600000", "10.50", ""}, {"岚溪科技", "1.", "2"}} << 0;
    QTest::newRow("quotes, commas, blanks and tabs")
        << WatchEntries{{" 6,\"0\" ", " 10.5 ", "\t2"}, {"\t0", "", ""}} << 0;
    QTest::newRow("the header's word as a code") << WatchEntries{{"代码", "", ""}} << 0;
    QTest::newRow("text thresholds, as the add dialog keeps them")
        << WatchEntries{{"600000", "现价的5%", "现价的-5%"}} << 1;
    QTest::newRow("an empty code, and a row of nothing at all")
        << WatchEntries{{"", "1", "2"}, {"", "", ""}} << 2;
}

void TestWatchListCsv::roundTrip()
{
    QFETCH(WatchEntries, rows);
    QFETCH(int, notes);
    const CsvImport back = ReadWatchListCsv(WatchListCsv(csvRows(rows)));
    QCOMPARE(QString::fromStdString(CsvProblemsText(back.problems)), QString());
    QCOMPARE(back.entries, rows);
    QCOMPARE(int(back.notes.size()), notes);
}

// Not a timed assertion: the figure is printed, so a slow reader shows in the log.
void TestWatchListCsv::tenThousandRecords()
{
    WatchEntries rows;
    for (int i = 0; i < 10000; ++i) // every other code quoted, for the slower path
        rows.push_back({(i % 2 ? "6," : "6") + std::to_string(i), std::to_string(i) + ".5", ""});
    const std::string csv = WatchListCsv(csvRows(rows));
    QElapsedTimer timer;
    timer.start();
    const CsvImport back = ReadWatchListCsv(csv);
    qInfo("read 10000 records (%zu bytes) in %.2f ms", csv.size(), timer.nsecsElapsed() / 1e6);
    QCOMPARE(back.entries, rows);
}

QTEST_GUILESS_MAIN(TestWatchListCsv)
#include "test_watchlistcsv.moc"
