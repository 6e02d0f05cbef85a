// The main window as a person meets it: the list's columns and rows, the captions, the menus,
// the timers at start, what a screen reader hears, and the announcement strip below the list.
#include "support/appfixture.h"

#include <QAccessible>
#include <QHeaderView>
#include <QTextBrowser>
#include <QTextCursor>

using namespace velmora;
using namespace velmora::testing;

namespace {

const QByteArray kPage = "http://www.tesquin.example/gonggao.htm";

QStringList itemsOf(const QMenu *menu)
{
    QStringList items;
    for (const QAction *a : menu->actions()) {
        // every item is an ordinary, enabled command without a check mark, but the switch
        const bool plain = a->isEnabled() && !a->isSeparator() &&
                           (!a->isCheckable() || a->objectName() == "discreetItem");
        items << a->objectName() + "=" + a->text() +
                     (plain ? QString() : QStringLiteral(" (not plain)"));
    }
    return items;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void columnsInOrder();
    void longCodesAreNeverElided();
    void captions_data();
    void captions();
    void emptyFolder();
    void rowsAreSelectedWholeAndNotEditable();
    void controlsKeepTheirPlacesWhenResized();
    void menusHoldEveryItemInOrder();
    void screenReaderReadsHeadersCellsAndMenus();
    void scrollBarsOffAfterEveryLoad_data();
    void scrollBarsOffAfterEveryLoad();
    void everyListClickReloads_data();
    void everyListClickReloads();
    void clickedLinksOpenInUserBrowser_data();
    void clickedLinksOpenInUserBrowser();
};

void TestMainWindow::columnsInOrder()
{
    AppFixture fixture;
    fixture.putFiles("600000\r\n");
    QVERIFY(fixture.start());
    QStringList columns; // caption, then how the cells align: < left, | centred, > right
    for (int c = 0; c < fixture.view()->model()->columnCount(); ++c) {
        const auto align =
            fixture.view()->model()->index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        columns << fixture.view()->model()->headerData(c, Qt::Horizontal).toString() +
                       (align & Qt::AlignLeft    ? "<"
                        : align & Qt::AlignRight ? ">"
                                                 : "|");
    }
    QCOMPARE(columns, (QStringList{"代码<", "股票名称|", "现价>", "最高价>", "最低价>", "涨跌幅|",
                                   "止盈价>", "止损价>", "走势|"}));
    // All side by side, none cut off.
    QVERIFY(fixture.view()->header()->length() <= fixture.view()->viewport()->width());
}

// The code column widens to the longest code; the other columns keep their widths and the
// window grows by what that needs.
void TestMainWindow::longCodesAreNeverElided()
{
    AppFixture fixture;
    fixture.putFiles("600000\r\n");
    QVERIFY(fixture.start());
    QHeaderView *header = fixture.view()->header();
    const int designed = header->sectionSize(0);
    const int windowWidth = fixture.window().width();
    const int nameWidth = header->sectionSize(1);
    for (const char *code : {"sh000001", "usAAPL", "hk09988", "BRK.B", "usGOOGL"})
        QVERIFY(!fixture.list().add({code, "", ""}));
    const QFontMetrics metrics(fixture.view()->font());
    const int widest = metrics.horizontalAdvance("sh000001");
    QVERIFY2(header->sectionSize(0) > widest, qPrintable(QString::number(header->sectionSize(0))));
    QCOMPARE(header->sectionSize(1), nameWidth);
    QCOMPARE(fixture.window().width() - windowWidth, header->sectionSize(0) - designed);
    QVERIFY(header->length() <= fixture.view()->viewport()->width());
    // What the view draws in the cell is the whole code.
    const QModelIndex cell = fixture.view()->model()->index(1, 0);
    QVERIFY(fixture.view()->visualRect(cell).width() >= widest);
}

void TestMainWindow::captions_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("site"); // the maker's site is set
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("status"); // the tip's second line
    using K = QuoteSourceKind;
    QTest::newRow("custom service") << int(K::Custom) << true
                                    << "Velmora  By Tesquin Orlentis——www.tesquin.example"
                                    << "Tesquin-Velmora" << "行情来源：自定义服务，尚未刷新";
    QTest::newRow("demo service, its site on this machine")
        << int(K::Demo) << true << "Velmora  By Tesquin Orlentis——127.0.0.1（演示行情）"
        << "Tesquin-Velmora（演示行情）" << "行情来源：演示，尚未刷新";
    // An installed program has no site: the caption names the source, the strip the status.
    QTest::newRow("first page, no site") << int(K::Tencent) << false
                                         << "Velmora  By Tesquin Orlentis——腾讯行情"
                                         << "Tesquin-Velmora" << "行情来源：腾讯，尚未刷新";
    QTest::newRow("auto, no site") << int(K::Auto) << false << "Velmora  By Tesquin Orlentis——自动"
                                   << "Tesquin-Velmora" << "行情来源：自动，尚未刷新";
    QTest::newRow("custom service, no site")
        << int(K::Custom) << false << "Velmora  By Tesquin Orlentis——127.0.0.1"
        << "Tesquin-Velmora" << "行情来源：自定义服务，尚未刷新";
}

void TestMainWindow::captions()
{
    QFETCH(int, source);
    QFETCH(bool, site);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    QFETCH(QString, status);
    AppFixture fixture;
    fixture.settings.user.source = QuoteSourceKind(source);
    fixture.settings.demo = fixture.settings.user.source == QuoteSourceKind::Demo;
    if (!site)
        fixture.settings.siteBase = QUrl();
    fixture.server.setDefaultBehaviour(BrokenServer::Behaviour::Hang); // no quote comes
    QVERIFY(fixture.start());
    QCOMPARE(fixture.window().windowTitle(), caption);
    // The tip's first line as it always was; the second says how the quotes are doing.
    const QStringList tipLines = fixture.app->trayIcon().icon()->toolTip().split(QLatin1Char('\n'));
    QCOMPARE(tipLines.first(), tip);
    QCOMPARE(tipLines.value(1), status);
    QVERIFY(fixture.app->trayIcon().icon()->isVisible());
    // Without an announcement the strip says how the quotes are doing.
    if (!site)
        QCOMPARE(fixture.window().strip()->toPlainText(), status);
}

void TestMainWindow::rowsAreSelectedWholeAndNotEditable()
{
    AppFixture fixture;
    fixture.putFiles("600000\r\n600001\r\n600002\r\n");
    QVERIFY(fixture.start());
    QTreeView *list = fixture.view();
    const QModelIndex cell = list->model()->index(1, 4);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(cell).center());
    QCOMPARE(fixture.window().selectedPositions(), QList<int>{1});
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 9); // the eight and 走势
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ShiftModifier, fixture.rowCentre(2));
    QCOMPARE(fixture.window().selectedPositions(), (QList<int>{1, 2}));

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(cell).center());
    QVERIFY(!list->isPersistentEditorOpen(cell));
    QVERIFY(!(list->model()->flags(cell) & Qt::ItemIsEditable));
}

void TestMainWindow::controlsKeepTheirPlacesWhenResized()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    QTextBrowser *strip = fixture.window().strip();
    const QRect list = fixture.view()->geometry(), stripAt = strip->geometry();
    // The strip covers the list's bottom edge and is in front there.
    QVERIFY(stripAt.top() < list.bottom());
    QWidget *front = fixture.window().childAt(QPoint(5, stripAt.top() + 2));
    QVERIFY(front == strip || strip->isAncestorOf(front));
    for (const QSize size : {QSize(800, 600), QSize(200, 120)}) {
        fixture.window().resize(size);
        QCOMPARE(fixture.view()->geometry(), list);
        QCOMPARE(strip->geometry(), stripAt);
    }
}

void TestMainWindow::menusHoldEveryItemInOrder()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    QMenu *context = fixture.window().contextMenu(), *tray = fixture.app->trayIcon().menu();
    QCOMPARE(context->objectName() + " " + context->title(), "mnu2 右键菜单");
    // 添加股票, 删除股票 and 查看分时 first; the later items follow them.
    QCOMPARE(itemsOf(context), (QStringList{"mnu21=添加股票", "mnu22=删除股票", "mnu23=查看分时",
                                            "holdingsItem=持仓…", "importItem=导入…", "exportItem=导出…",
                                            "restoreItem=恢复…"}));
    QCOMPARE(tray->objectName() + " " + tray->title(), "mn 托盘菜单");
    QCOMPARE(itemsOf(tray),
             (QStringList{"mn17=添加股票", "mn21=——————", "mn19=预警开", "mn20=预警关",
                          "mn18=——————", "mn1=Tesquin官网", "mn11=-----------", "mn12=开机启动",
                          "mn13=取消开机启动", "mn14=——————", "mn15=需要稳定收益", "discreetItem=隐身模式",
                          "alertLogItem=预警记录", "settingsItem=设置", "mn16=退出"}));
}

// No files: no rows, no file created, and the timers as they start.
void TestMainWindow::emptyFolder()
{
    AppFixture fixture;
    QVERIFY(fixture.start());
    QCOMPARE(fixture.view()->model()->rowCount(), 0);
    QVERIFY(std::filesystem::is_empty(fixture.dataPath()));
    QCOMPARE(fixture.timersAtStart,
             (QStringList{"Timer1 8000 on", "Timer2 8000 off", "Timer3 500 on"}));
}

void TestMainWindow::screenReaderReadsHeadersCellsAndMenus()
{
    AppFixture fixture;
    fixture.putFiles("600000\r\n", "10.5\r\n");
    QVERIFY(fixture.start());
    auto name = [](QAccessibleInterface *accessible) {
        return accessible ? accessible->text(QAccessible::Name) : "(nothing)";
    };
    QVERIFY(name(QAccessible::queryAccessibleInterface(&fixture.window())).startsWith("Velmora"));
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(fixture.view());
    QCOMPARE(name(list), "自选股列表");
    QAccessibleTableInterface *table = list->tableInterface();
    QVERIFY(table && table->cellAt(0, 0));
    QCOMPARE(table->columnCount(), 9);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(name(table->cellAt(0, 0)->tableCellInterface()->columnHeaderCells().value(0)), "代码");
    QCOMPARE(name(table->cellAt(0, 0)), "600000");
    QCOMPARE(name(table->cellAt(0, 1)), "待命");
    QCOMPARE(name(table->cellAt(0, 6)), "10.5");
    QCOMPARE(name(QAccessible::queryAccessibleInterface(fixture.window().strip())), "公告栏");

    QMenu *tray = fixture.app->trayIcon().menu();
    tray->popup(QPoint(10, 10));
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(tray);
    QCOMPARE(menu->childCount(), 15);
    QCOMPARE(name(menu->child(2)), "预警开");
    tray->close();
}

void TestMainWindow::scrollBarsOffAfterEveryLoad_data()
{
    QTest::addColumn<bool>("found");
    QTest::newRow("a page") << true;
    QTest::newRow("no page to be had") << false;
}

void TestMainWindow::scrollBarsOffAfterEveryLoad()
{
    QFETCH(bool, found);
    AppFixture fixture;
    QVERIFY(fixture.start());
    if (!found)
        fixture.site.setDefaultBehaviour(BrokenServer::Behaviour::NotFound);
    QTextBrowser *strip = fixture.window().strip();
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    QSignalSpy loaded(&fixture.app->announcementFeed(), &AnnouncementFeed::loadFinished);
    QTest::mouseClick(fixture.view()->viewport(), Qt::LeftButton); // a list click reloads
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toBool(), found);
    // No page: the strip says how the quotes are doing instead.
    QCOMPARE(strip->toPlainText() == fixture.app->quoteRefresh().status(), !found);
    QCOMPARE(strip->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(strip->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestMainWindow::everyListClickReloads_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("loads");
    QTest::newRow("left click on a row") << "row" << 1;
    QTest::newRow("left click on the empty space below the rows") << "empty" << 1;
    QTest::newRow("two clicks, two loads") << "twice" << 2;
    QTest::newRow("double click is one click") << "double" << 1;
    QTest::newRow("right click is no click") << "right" << 0;
    QTest::newRow("release without a press on the list") << "release" << 0;
}

void TestMainWindow::everyListClickReloads()
{
    QFETCH(QString, gesture);
    QFETCH(int, loads);
    AppFixture fixture;
    fixture.putFiles("600000\r\n000001\r\n");
    QVERIFY(fixture.start());
    QWidget *viewport = fixture.view()->viewport();
    const QPoint row = fixture.rowCentre(1), empty(20, viewport->height() - 5);
    QVERIFY(!fixture.view()->indexAt(empty).isValid());

    if (gesture == "row" || gesture == "twice") {
        QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
    } else if (gesture == "double") {
        // As the window system delivers it: the second press comes as a double-click event.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, row);
        QTest::mousePress(viewport, Qt::LeftButton, {}, row);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, row);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, row);
    } else if (gesture == "right") {
        QTest::mouseClick(viewport, Qt::RightButton, {}, row);
        fixture.window().contextMenu()->hide();
    } else if (gesture == "release") {
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, row);
    }
    if (gesture == "twice") // the second once the first has gone out
        QTRY_COMPARE(fixture.site.requestCount(), 2);
    if (gesture == "empty" || gesture == "twice")
        QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
    QTest::qWait(300);
    // The load at start, then one per click, always the same page.
    QTRY_COMPARE(fixture.site.targets(), QList<QByteArray>(1 + loads, kPage));
}

void TestMainWindow::clickedLinksOpenInUserBrowser_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QList<QUrl>>("opened");
    QTest::newRow("relative link resolved against the page")
        << "news/1.htm" << QList<QUrl>{QUrl("http://www.tesquin.example/news/1.htm")};
    QTest::newRow("absolute http link")
        << "http://other.example/a?b=1" << QList<QUrl>{QUrl("http://other.example/a?b=1")};
    QTest::newRow("https link") << "https://other.example/"
                                << QList<QUrl>{QUrl("https://other.example/")};
    QTest::newRow("local file is not opened") << "file:///etc/passwd" << QList<QUrl>{};
    QTest::newRow("script is not run") << "javascript:alert(1)" << QList<QUrl>{};
}

void TestMainWindow::clickedLinksOpenInUserBrowser()
{
    QFETCH(QString, link);
    QFETCH(QList<QUrl>, opened);
    AppFixture fixture;
    QVERIFY(fixture.start());
    // The page the strip loaded, holding one link.
    QTextBrowser *strip = fixture.window().strip();
    strip->document()->setHtml("<p><a href=\"" + link + "\">第一条公告</a> 与其他</p>");
    const QString page = strip->toPlainText();

    // A real click on the link's first character.
    QTextCursor cursor(strip->document());
    cursor.setPosition(1);
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->cursorRect(cursor).center());
    QTest::qWait(100);
    QCOMPARE(fixture.opened, opened);
    QCOMPARE(strip->toPlainText(), page); // not navigated inside the strip
    QCOMPARE(fixture.site.requestCount(), 1);
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
