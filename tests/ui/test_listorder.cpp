#include "support/sources.h"
#include "support/appfixture.h"
#include "ui/listsortproxy.h"

#include <QHeaderView>
#include <QTreeView>

using namespace velmora;
using namespace velmora::testing;

namespace {

// The codes in the order the view shows them.
QStringList shownCodes(QTreeView *view)
{
    QStringList codes;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        codes << view->model()->index(row, WatchList::Code).data().toString();
    return codes;
}

void clickHeader(QTreeView *view, int column)
{
    QHeaderView *header = view->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

} // namespace

// Sorting changes only the view: numbers as numbers, a second click reverses, a third returns
// to the list's own order; nothing is written, and what the user does acts on the row seen.
class TestListOrder : public QObject
{
    Q_OBJECT

private slots:
    void headerClicks_data();
    void headerClicks();
    void actsOnTheRowSeen();
    void gbkCodesSortAsShown();
};

void TestListOrder::headerClicks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("ascending");
    QTest::addColumn<QStringList>("descending");
    QTest::newRow("change, as numbers; no quote last")
        << int(WatchList::Change) << QStringList{"000001", "300750", "600000", "600036"}
        << QStringList{"600036", "600000", "300750", "000001"};
    QTest::newRow("code, as text") << int(WatchList::Code)
                                   << QStringList{"000001", "300750", "600000", "600036"}
                                   << QStringList{"600036", "600000", "300750", "000001"};
    QTest::newRow("take-profit, 9.98 before 10.05")
        << int(WatchList::TakeProfit) << QStringList{"300750", "000001", "600000", "600036"}
        << QStringList{"600036", "600000", "000001", "300750"};
}

void TestListOrder::headerClicks()
{
    QFETCH(int, column);
    QFETCH(QStringList, ascending);
    QFETCH(QStringList, descending);
    AppFixture f;
    putThree(f.dataPath(), {"600000\r\n000001\r\n300750\r\n600036\r\n",
                            "12\r\n10.05\r\n9.98\r\n现价的5%\r\n", "\r\n\r\n\r\n\r\n"});
    QVERIFY(f.start());
    const Files before = snapshot(f.dataPath());
    const char *changes[] = {"12.00%", "-3.00%", "9.00%"};
    for (int row = 0; row < 3; ++row)
        QVERIFY(f.list().applyQuote(f.list().rowAt(row).id, QuoteOf("", "1", "1", "1", changes[row]), 1));
    QTreeView *view = f.view();
    const QStringList own = shownCodes(view);
    QVERIFY(!view->header()->isSortIndicatorShown());

    clickHeader(view, column);
    QCOMPARE(shownCodes(view), ascending);
    QVERIFY(view->header()->isSortIndicatorShown());
    clickHeader(view, column);
    QCOMPARE(shownCodes(view), descending);
    clickHeader(view, column);
    QCOMPARE(shownCodes(view), own);
    QVERIFY(!view->header()->isSortIndicatorShown());
    QCOMPARE(snapshot(f.dataPath()), before);
    QVERIFY(!std::filesystem::exists(f.dataPath() / kSnapshotFolderName)); // no change at all
}

void TestListOrder::actsOnTheRowSeen()
{
    AppFixture f;
    putThree(f.dataPath(), {"600000\r\n000001\r\n300750\r\n", "1\r\n2\r\n3\r\n", "\r\n\r\n\r\n"});
    QVERIFY(f.start());
    QTreeView *view = f.view();
    clickHeader(view, WatchList::Code); // 000001, 300750, 600000
    view->selectionModel()->select(view->model()->index(0, 0),
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QCOMPARE(f.window().selectedPositions(), QList<int>{1});
    f.action("mnu22")->trigger();
    QCOMPARE(snapshot(f.dataPath())[0], "600000\r\n300750\r\n"); // 000001 went, the one seen
    QCOMPARE(shownCodes(view), (QStringList{"300750", "600000"}));

    // An edit in the sorted view changes the row seen.
    view->setCurrentIndex(view->model()->index(0, WatchList::StopLoss));
    QTest::keyClick(view, Qt::Key_F2);
    auto *editor = view->findChild<QLineEdit *>("thresholdEditor");
    QVERIFY(editor);
    editor->setText("150");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    QCOMPARE(snapshot(f.dataPath())[2], "\r\n150\r\n");
}

// 甲 (U+7532) is BC D7 in GBK and 乙 (U+4E59) E4 B9 99 in UTF-8: by the file's bytes 甲 would
// come first, by the characters shown 乙 does.
void TestListOrder::gbkCodesSortAsShown()
{
    AppFixture f;
    putThree(f.dataPath(), {"\xBC\xD7\r\n\xE4\xB9\x99\r\n", "\r\n\r\n", "\r\n\r\n"});
    QVERIFY(f.start());
    clickHeader(f.view(), WatchList::Code);
    QCOMPARE(shownCodes(f.view()), (QStringList{"乙", "甲"}));
}

QTEST_MAIN(TestListOrder)
#include "test_listorder.moc"
