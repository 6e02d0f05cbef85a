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
        << QByteArray("\r\n  \r\n600000,1,2\r\n,,\r\n\t\r\n\"\"\r\n")
        << WatchEntries{{"600000", "1", "2"}};
    QTest::newRow("quoted fields: doubled quotes, comma, blanks")
        << QByteArray("\"6\"\"0,0\",\"1.5\",\" 2 \"") << WatchEntries{{"6\"0,0", "1.5", "2"}};
    QTest::newRow("text after a closing quote and a quote inside a bare value kept")
        << QByteArray("\"60\"00,1\n6\"0") << WatchEntries{{"6000", "1", ""}, {"6\"0", "", ""}};
    QTest::newRow("code kept as written, blanks around thresholds removed")
        << QByteArray(" 600000 , 1.5 ,\t-2\t") << WatchEntries{{" 600000 ", "1.5", "-2"}};
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
    QTest::newRow("empty code after the header") << kHead + ",1,2" << "第 2 行：股票代码为空";
    QTest::newRow("blank code") << QByteArray("  ,1") << "第 1 行：股票代码为空";
    QTest::newRow("line breaks inside and outside quotes count, a lone CR too")
        << QByteArray("\"60\r\n0\r0\",1\r,2\n600001")
        << "第 1 行：股票代码含有换行\n第 4 行：股票代码为空";
    QTest::newRow("code with a NUL") << QByteArray("60\0" "00", 5) << "第 1 行：股票代码含有空字符";
    QTest::newRow("neither threshold a number")
        << QByteArray("600000,abc,1e5") << "第 1 行：止盈价不是数字：abc；止损价不是数字：1e5";
    QTest::newRow("long bad value shown cut")
        << QByteArray("600000,一二三四五六七八九十一二三四五六七八九十零")
        << "第 1 行：止盈价不是数字：一二三四五六七八九十一二三四五六七八九十…";
    QTest::newRow("fourth field, trailing empty ones not counted")
        << QByteArray("600000,1,2,x,,") << "第 1 行：字段太多（4 个，最多 3 个）";
    QTest::newRow("unterminated quote")
        << QByteArray("600000,1\r\n600001,\"2\r\n600002") << "第 2 行：引号没有结束";
    QTest::newRow("one bad record among good ones imports nothing")
        << QByteArray("600000,1\r\n600001,x\r\n600002") << "第 2 行：止盈价不是数字：x";
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
    QTest::newRow("twenty shown in full") << 20 << 20 << "第 20 行：股票代码为空";
    QTest::newRow("beyond twenty counted") << 25 << 21 << "……还有 5 行有问题";
}

void TestWatchListCsv::longProblemListIsCut()
{
    QFETCH(int, bad);
    QFETCH(int, lines);
    QFETCH(QString, last);
    std::string text;
    for (int i = 0; i < bad; ++i)
        text += ",1\n";
    const auto shown = QString::fromStdString(CsvProblemsText(ReadWatchListCsv(text).problems))
                           .split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), lines);
    QCOMPARE(shown.first(), QString("第 1 行：股票代码为空"));
    QCOMPARE(shown.last(), last);
}

void TestWatchListCsv::roundTrip()
{
    const WatchEntries rows{{"600000", "10.50", ""}, {" 6,\"0\" ", "", "-0.5"},
                            {"岚溪科技", "1.", "2"}, {"代码", "", ""}, {"\t0", "", ""}};
    const CsvImport back = ReadWatchListCsv(WatchListCsv(csvRows(rows)));
    QVERIFY(back.problems.empty());
    QCOMPARE(back.entries, rows);
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
