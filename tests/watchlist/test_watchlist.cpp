// The watch list's own rules, without any window: what adding and removing leave in the three
// files, that a change that fails leaves files and rows as they were, that a run which could
// not read the list changes nothing, and that a quote finds its row by the row's id.
#include "support/sources.h"
#include "support/tempdir.h"
#include "watchlist/watchlist.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(velmora::testing::Files)
Q_DECLARE_METATYPE(velmora::WatchEntry)

namespace {

const Files kThree{"600000\r\n000001\r\n300750\r\n", "10.5\r\n12\r\n\r\n", "9.5\r\n8\r\n-\r\n"};
const std::set<std::string> kFileNames{"Setting.ini", "Setting2.ini", "Setting3.ini"};

// The rows as a fresh start would read them from the files, and nothing else in the folder.
[[nodiscard]] bool sameAsDisk(const WatchList &list, const fs::path &dir)
{
    WatchList again(dir);
    auto names = listing(dir);
    names.erase(kSnapshotFolderName); // the copies taken before each change
    return !again.load() && again.entries() == list.entries() && names == kFileNames;
}

QString rowText(const WatchList &list, int row)
{
    QStringList cells;
    for (int column = 0; column <= WatchList::StopLoss; ++column) // the eight the list shows
        cells << list.text(row, column);
    return cells.join("|");
}

} // namespace

class TestWatchList : public QObject
{
    Q_OBJECT

private slots:
    void init() { path = pathOf(*(dir = std::make_unique<QTemporaryDir>())); }
    void loadedRows();
    void add_data();
    void add();
    void removeAt_data();
    void removeAt();
    void failedChangeChangesNothing_data();
    void failedChangeChangesNothing();
    void unreadableListRefusesChanges();
    void quoteFindsItsRowById();
    void quoteAsShown_data();
    void quoteAsShown();
    void editChangesOneThreshold();
    void everyChangeIsCopiedFirstAndCanBeUndone();

private:
    std::unique_ptr<QTemporaryDir> dir;
    fs::path path;
};

void TestWatchList::loadedRows()
{
    putThree(path, {"600000\r\n\xc6\xd6\xcd\xa8\r\n600001", "10.5\r\n现价的5%\r\n", ""});
    WatchList list(path);
    QVERIFY(!list.load());
    // Codes stored in GB18030 are shown as text; the name waits for the first quote.
    QCOMPARE(rowText(list, 0), "600000|待命|||||10.5|");
    QCOMPARE(rowText(list, 1), "浦通|待命|||||现价的5%|");
    QCOMPARE(rowText(list, 2), "600001|待命||||||");
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.index(0, 0).data(WatchList::ColourRole).toInt(), int(RowColour::Default));
    // The raw bytes stay as they were read, for the next rewrite.
    QCOMPARE(list.rowAt(1).entry.code, "\xc6\xd6\xcd\xa8");
}

void TestWatchList::add_data()
{
    QTest::addColumn<Files>("before");
    QTest::addColumn<WatchEntry>("entry");
    QTest::addColumn<Files>("after");

    QTest::newRow("empty folder: three files of one line")
        << Files{} << WatchEntry{"600000", "10.5", "9.5"}
        << Files{"600000\r\n", "10.5\r\n", "9.5\r\n"};
    QTest::newRow("duplicate code: a second row and line")
        << Files{"600000\r\n", "11\r\n", "9\r\n"} << WatchEntry{"600000", "10.5", "9.5"}
        << Files{"600000\r\n600000\r\n", "11\r\n10.5\r\n", "9\r\n9.5\r\n"};
    QTest::newRow("empty thresholds keep their lines")
        << kThree << WatchEntry{"600036", "", ""}
        << Files{"600000\r\n000001\r\n300750\r\n600036\r\n", "10.5\r\n12\r\n\r\n\r\n",
                 "9.5\r\n8\r\n-\r\n\r\n"};
    QTest::newRow("short threshold files are brought in step first")
        << Files{"600000\r\n000001\r\n", "10.5\r\n", ""} << WatchEntry{"300750", "11", "9"}
        << Files{"600000\r\n000001\r\n300750\r\n", "10.5\r\n\r\n11\r\n", "\r\n\r\n9\r\n"};
    QTest::newRow("placeholder texts stored as they stand")
        << Files{} << WatchEntry{"600000", "现价的5%", "现价的-5%"}
        << Files{"600000\r\n", "现价的5%\r\n", "现价的-5%\r\n"};
    QTest::newRow("empty code") << Files{} << WatchEntry{"", "0", "0"}
                                << Files{"\r\n", "0\r\n", "0\r\n"};
}

void TestWatchList::add()
{
    QFETCH(Files, before);
    QFETCH(WatchEntry, entry);
    QFETCH(Files, after);
    putThree(path, before);
    WatchList list(path);
    QVERIFY(!list.load());
    const int last = list.rowCount();

    QVERIFY(!list.add(entry));
    QCOMPARE(snapshot(path), after);
    QCOMPARE(list.rowCount(), last + 1);
    QCOMPARE(list.rowAt(last).entry, entry);
    // An added row waits for its first quote in the price column.
    QCOMPARE(list.text(last, WatchList::Name), "");
    QCOMPARE(list.text(last, WatchList::Price), "待命");
    QVERIFY(sameAsDisk(list, path));
}

void TestWatchList::removeAt_data()
{
    QTest::addColumn<Files>("before");
    QTest::addColumn<int>("position");
    QTest::addColumn<Files>("after");

    QTest::newRow("first row") << kThree << 0
                               << Files{"000001\r\n300750\r\n", "12\r\n\r\n", "8\r\n-\r\n"};
    QTest::newRow("middle row") << kThree << 1
                                << Files{"600000\r\n300750\r\n", "10.5\r\n\r\n", "9.5\r\n-\r\n"};
    QTest::newRow("last row") << kThree << 2
                              << Files{"600000\r\n000001\r\n", "10.5\r\n12\r\n", "9.5\r\n8\r\n"};
    QTest::newRow("only row: three empty files")
        << Files{"600000\r\n", "10.5\r\n", "9.5\r\n"} << 0 << Files{};
    QTest::newRow("two rows with one code: only the one asked for goes")
        << Files{"600000\r\n000001\r\n600000\r\n", "11\r\n12\r\n21\r\n", "9\r\n8\r\n19\r\n"} << 2
        << Files{"600000\r\n000001\r\n", "11\r\n12\r\n", "9\r\n8\r\n"};
    QTest::newRow("lines ending in LF are written with CR LF")
        << Files{"600000\n000001\n", "10.5\n12\n", "9.5\n8\n"} << 0
        << Files{"000001\r\n", "12\r\n", "8\r\n"};
    QTest::newRow("no such row: the files stay as they are")
        << Files{"600000\n000001\n", "10.5\n12\n", "9.5\n8\n"} << 2
        << Files{"600000\n000001\n", "10.5\n12\n", "9.5\n8\n"};
}

void TestWatchList::removeAt()
{
    QFETCH(Files, before);
    QFETCH(int, position);
    QFETCH(Files, after);
    putThree(path, before);
    WatchList list(path);
    QVERIFY(!list.load());
    std::vector<RowId> ids;
    for (int row = 0; row < list.rowCount(); ++row)
        ids.push_back(list.rowAt(row).id);
    if (position < list.rowCount())
        ids.erase(ids.begin() + position);

    QVERIFY(!list.removeAt(position));
    QCOMPARE(snapshot(path), after);
    // The other rows keep their ids.
    for (int row = 0; row < list.rowCount(); ++row)
        QCOMPARE(list.rowAt(row).id, ids[size_t(row)]);
    QCOMPARE(size_t(list.rowCount()), ids.size());
    QVERIFY(sameAsDisk(list, path));
}

void TestWatchList::failedChangeChangesNothing_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<QString>("file"); // a directory stands where its new content must go
    QTest::newRow("add, code file") << true << "Setting.ini";
    QTest::newRow("add, stop-loss file") << true << "Setting3.ini";
    QTest::newRow("remove, take-profit file") << false << "Setting2.ini";
}

void TestWatchList::failedChangeChangesNothing()
{
    QFETCH(bool, adding);
    QFETCH(QString, file);
    putThree(path, kThree);
    WatchList list(path);
    QVERIFY(!list.load());
    const RowId middle = list.rowAt(1).id;
    QVERIFY(list.applyQuote(middle, QuoteOf("杉屿医药", "12.5", "12.9", "12.1", "-0.8%"), 1));
    const fs::path blocker = path / (file.toStdString() + ".new");
    fs::create_directory(blocker);
    auto change = [&] { return adding ? list.add({"600036", "1", "2"}) : list.removeAt(1); };

    const auto error = change();
    QVERIFY(error);
    QCOMPARE(QString::fromStdString(error->file), file);
    QCOMPARE(snapshot(path), kThree);
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.positionOf(middle), 1);
    QCOMPARE(rowText(list, 1), "000001|杉屿医药|12.5|12.9|12.1|-0.8%|12|8");
    auto names = listing(path);
    names.erase(blocker.filename().string());
    names.erase(kSnapshotFolderName);
    QCOMPARE(names, kFileNames); // no new contents and no marker left behind

    // Once the obstacle is gone the same change goes through.
    fs::remove_all(blocker);
    QVERIFY(!change());
    QCOMPARE(list.rowCount(), adding ? 4 : 2);
    QVERIFY(sameAsDisk(list, path));
}

void TestWatchList::unreadableListRefusesChanges()
{
    putThree(path, kThree);
    fs::remove(path / "Setting2.ini");
    fs::create_directory(path / "Setting2.ini"); // there, but cannot be read
    WatchList list(path);
    const auto loaded = list.load();
    QVERIFY(loaded);
    QCOMPARE(loaded->file, "Setting2.ini");
    QCOMPARE(list.rowCount(), 0);

    const auto added = list.add({"600036", "1", "2"});
    QVERIFY(added && added->kind == StoreError::Kind::UnreadableList);
    QVERIFY(!list.removeAt(0)); // no row to remove
    QCOMPARE(list.rowCount(), 0);
    QCOMPARE(readFile(path / "Setting.ini"), kThree[0]);
    QCOMPARE(readFile(path / "Setting3.ini"), kThree[2]);
    QVERIFY(fs::is_directory(path / "Setting2.ini"));
}

// What a row shows of its quote: as it came, except a price of zero with a previous close
// (no trade yet), which shows the previous close, unchanged, in the neutral colour.
void TestWatchList::quoteAsShown_data()
{
    QTest::addColumn<QStringList>("quote"); // price, previous close, high, low, change
    QTest::addColumn<QString>("row");       // price|high|low|change as shown
    QTest::addColumn<int>("colour");
    QTest::addColumn<bool>("noTrade");      // the tooltip says why
    QTest::newRow("a trade") << QStringList{"7.85", "7.73", "7.90", "7.70", "1.55%"}
                             << "7.85|7.90|7.70|1.55%" << int(RowColour::Red) << false;
    QTest::newRow("before the opening auction")
        << QStringList{"0.00", "7.73", "0.00", "0.00", ""} << "7.73|||0.00%"
        << int(RowColour::Default) << true;
    QTest::newRow("a page's -100% for a zero price")
        << QStringList{"0", "7.73", "0", "0", "-100.00%"} << "7.73|||0.00%"
        << int(RowColour::Default) << true;
    QTest::newRow("zero without a previous close: as it came")
        << QStringList{"0", "", "", "", ""} << "0|||" << int(RowColour::Red) << false;
}

void TestWatchList::quoteAsShown()
{
    QFETCH(QStringList, quote);
    QFETCH(QString, row);
    QFETCH(int, colour);
    QFETCH(bool, noTrade);
    putThree(path, kThree);
    WatchList list(path);
    QVERIFY(!list.load());
    Quote q = QuoteOf("甲股份", quote[0].toStdString(), quote[2].toStdString(),
                      quote[3].toStdString(), quote[4].toStdString());
    q.previousClose = quote[1].toStdString();
    QVERIFY(list.applyQuote(list.rowAt(0).id, q, 1));
    QStringList shown;
    for (int column : {WatchList::Price, WatchList::High, WatchList::Low, WatchList::Change})
        shown << list.text(0, column);
    QCOMPARE(shown.join('|'), row);
    QCOMPARE(list.index(0, 0).data(WatchList::ColourRole).toInt(), colour);
    QCOMPARE(list.index(0, 2).data(Qt::ToolTipRole).toString().contains("暂无成交"), noTrade);
}

void TestWatchList::quoteFindsItsRowById()
{
    putThree(path, kThree);
    WatchList list(path);
    // Every signal the model sends keeps it consistent for the views and proxies on it.
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(!list.load());
    const RowId second = list.rowAt(1).id, third = list.rowAt(2).id;
    QVERIFY(!list.removeAt(1));

    QVERIFY(!list.applyQuote(second, QuoteOf("杉屿医药", "12.5", "12.9", "12.1", "-0.8%"), 1)); // gone
    QVERIFY(list.applyQuote(third, QuoteOf("远舟航运", "180.5", "182", "179", "1.2%"), 1));
    QCOMPARE(rowText(list, 0), "600000|待命|||||10.5|9.5");
    QCOMPARE(rowText(list, 1), "300750|远舟航运|180.5|182|179|1.2%||-");
    QCOMPARE(list.index(1, 0).data(WatchList::ColourRole).toInt(), int(RowColour::Red));
    QVERIFY(list.applyQuote(third, QuoteOf("远舟航运", "178", "182", "177", "-0.3%"), 1));
    QCOMPARE(list.index(1, 0).data(WatchList::ColourRole).toInt(), int(RowColour::Blue));
}

void TestWatchList::editChangesOneThreshold()
{
    putThree(path, kThree);
    WatchList list(path);
    QVERIFY(!list.load());
    QSignalSpy edited(&list, &WatchList::thresholdsChanged);
    QVERIFY(!list.setThreshold(1, WatchList::StopLoss, "7.5"));
    QCOMPARE(rowText(list, 1), "000001|待命|||||12|7.5");
    QCOMPARE(snapshot(path), (Files{kThree[0], kThree[1], "9.5\r\n7.5\r\n-\r\n"}));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.first().first().value<RowId>(), list.rowAt(1).id);
    QVERIFY(sameAsDisk(list, path));
}

// Before every change the three files are copied into backups/; a restore puts one back, is
// itself copied first, a change that fails leaves no copy, and a copy that cannot be made stops
// no change and is told with it.
void TestWatchList::everyChangeIsCopiedFirstAndCanBeUndone()
{
    putThree(path, kThree);
    WatchList list(path);
    // Every signal the model sends keeps it consistent for the views and proxies on it.
    QAbstractItemModelTester tester(&list, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(!list.load());
    QVERIFY(!list.add({"600036", "1", "2"}));
    QVERIFY(!list.removeAt(0));
    QVERIFY(!list.setThreshold(0, WatchList::TakeProfit, "13"));
    auto copies = list.snapshots();
    QCOMPARE(copies.size(), 3u);
    QCOMPARE(copies.front().rows, 3); // newest first: taken before the edit
    QCOMPARE(copies.back().rows, 3);  // taken before the add

    QVERIFY(!list.restore(copies.back().name));
    QCOMPARE(snapshot(path), kThree);
    QCOMPARE(list.rowCount(), 3);
    QCOMPARE(list.snapshots().size(), 4u);

    // A change that fails takes its copy away again: none claims to precede it.
    fs::create_directory(path / "Setting2.ini.new");
    QVERIFY(list.add({"600036", "1", "2"}));
    QCOMPARE(list.snapshots().size(), 4u);
    fs::remove(path / "Setting2.ini.new");

    // backups/ cannot hold a folder: the changes still go through, and each says so.
    fs::remove_all(path / kSnapshotFolderName);
    writeFile(path / kSnapshotFolderName, "");
    QVERIFY(!list.add({"600036", "1", "2"}));
    QVERIFY(list.snapshotFailure());
    QVERIFY(!list.removeAt(3));
    QVERIFY(list.snapshotFailure());
    QCOMPARE(snapshot(path), kThree);
    fs::remove(path / kSnapshotFolderName);
    QVERIFY(!list.setThreshold(0, WatchList::TakeProfit, "11"));
    QVERIFY(!list.snapshotFailure());
}

QTEST_MAIN(TestWatchList)
#include "test_watchlist.moc"
