#include "ui/mainwindow.h"
#include "watchlist/watchlist.h"
#include "platform/screenmetrics.h"
#include "core/watchliststore.h"
#include "support/tempdir.h"

#include <QAccessible>
#include <QHeaderView>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>

#include <memory>

using namespace velmora;
using namespace velmora::testing;

namespace {

AppSettings settingsFor(const QTemporaryDir &dir)
{
    AppSettings s;
    s.dataDir = dir.path();
    s.quoteBase = QUrl(QStringLiteral("http://127.0.0.1:9"));
    s.chartBase = s.quoteBase;
    s.siteBase = QUrl(QStringLiteral("http://site.example"));
    return s;
}

struct Started
{
    std::unique_ptr<WatchListFiles> files;
    std::unique_ptr<Form1> form;
};

Started start(const QTemporaryDir &dir, bool demo = false)
{
    Started s;
    s.files = std::make_unique<WatchListFiles>(pathOf(dir));
    AppSettings settings = settingsFor(dir);
    settings.demo = demo;
    s.form = std::make_unique<Form1>(settings, *s.files);
    s.form->load();
    return s;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void columns_data();
    void columns();
    void captionAndTray_data();
    void captionAndTray();
    void noFilesNoRowsNothingCreated();
    void loadedRowsShowPlaceholder();
    void rowsAreSelectedWholeAndNotEditable();
    void controlsKeepTheirPlacesWhenResized();
    void menusHoldEveryItemInOrder();
    void timersAtStart();
    void screenReaderReadsHeadersCellsAndMenus();
};

void TestForm1::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("alignment");
    const int left = Qt::AlignLeft, centre = Qt::AlignHCenter, right = Qt::AlignRight;
    QTest::newRow("code") << 0 << "代码" << 800 << left;
    QTest::newRow("name") << 1 << "股票名称" << 1000 << centre;
    QTest::newRow("price") << 2 << "现价" << 800 << right;
    QTest::newRow("high") << 3 << "最高价" << 800 << right;
    QTest::newRow("low") << 4 << "最低价" << 800 << right;
    QTest::newRow("change") << 5 << "涨跌幅" << 800 << centre;
    QTest::newRow("take-profit") << 6 << "止盈价" << 800 << right;
    QTest::newRow("stop-loss") << 7 << "止损价" << 800 << right;
}

void TestForm1::columns()
{
    QFETCH(int, column);
    QFETCH(QString, caption);
    QFETCH(int, twips);
    QFETCH(int, alignment);
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n");
    auto s = start(dir);
    QTreeView *list = s.form->findChild<QTreeView *>(QStringLiteral("ListView1"));
    QVERIFY(list);
    QCOMPARE(list->model()->columnCount(), 8);
    QCOMPARE(list->model()->headerData(column, Qt::Horizontal).toString(), caption);
    QCOMPARE(list->header()->sectionSize(column), TwipsToPixels(twips));
    const auto cellAlignment =
        list->model()->index(0, column).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    QCOMPARE(int(cellAlignment & Qt::AlignHorizontal_Mask), alignment);

    int total = 0;
    for (int c = 0; c < 8; ++c)
        total += WatchListModel::widthTwips(c);
    QCOMPARE(total, 6600);
}

void TestForm1::captionAndTray_data()
{
    QTest::addColumn<bool>("demo");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tip");
    QTest::newRow("real service") << false << "Velmora  By Tesquin Orlentis——site.example"
                                  << "Tesquin-Velmora";
    QTest::newRow("demo service") << true
                                  << "Velmora  By Tesquin Orlentis——site.example（演示行情）"
                                  << "Tesquin-Velmora（演示行情）";
}

void TestForm1::captionAndTray()
{
    QFETCH(bool, demo);
    QFETCH(QString, caption);
    QFETCH(QString, tip);
    QTemporaryDir dir;
    auto s = start(dir, demo);
    QCOMPARE(s.form->windowTitle(), caption);
    QCOMPARE(s.form->trayIcon()->toolTip(), tip);
    QVERIFY(s.form->trayIcon()->isVisible());
    QVERIFY(!s.form->windowIcon().isNull());
    QCOMPARE(s.form->trayIcon()->icon().cacheKey(), s.form->trayIcon()->icon().cacheKey());
}

void TestForm1::noFilesNoRowsNothingCreated()
{
    QTemporaryDir dir;
    auto s = start(dir);
    QCOMPARE(s.form->model()->rowCount(), 0);
    QCOMPARE(s.form->listView()->model()->columnCount(), 8);
    QVERIFY(std::filesystem::is_empty(pathOf(dir)));
}

void TestForm1::loadedRowsShowPlaceholder()
{
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n\xc6\xd6\xcd\xa8\r\n600001");
    writeFile(pathOf(dir) / "Setting2.ini", "10.5\r\n现价的5%\r\n");
    writeFile(pathOf(dir) / "Setting3.ini", "");
    auto s = start(dir);
    const WatchListModel *model = s.form->model();
    QCOMPARE(model->rowCount(), 3);
    const QStringList codes{"600000", "浦通", "600001"}; // GB18030 bytes shown as text
    const QStringList takeProfit{"10.5", "现价的5%", ""};
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(model->text(row, WatchListModel::Code), codes[row]);
        QCOMPARE(model->text(row, WatchListModel::Name), QStringLiteral("待命"));
        for (int c = WatchListModel::Price; c <= WatchListModel::Change; ++c)
            QVERIFY(model->text(row, c).isEmpty());
        QCOMPARE(model->text(row, WatchListModel::TakeProfit), takeProfit[row]);
        QVERIFY(model->text(row, WatchListModel::StopLoss).isEmpty());
        QVERIFY(!model->index(row, 0).data(Qt::ForegroundRole).isValid());
    }
    // The raw bytes stay as they were read, for the next rewrite.
    QCOMPARE(model->rowAt(1).entry.code, std::string("\xc6\xd6\xcd\xa8"));
}

void TestForm1::rowsAreSelectedWholeAndNotEditable()
{
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n600001\r\n600002\r\n");
    auto s = start(dir);
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    QTreeView *list = s.form->listView();
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);

    const QRect cell = list->visualRect(list->model()->index(1, 4));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    const auto selected = list->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 1);
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 8);

    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QVERIFY(!list->isPersistentEditorOpen(list->model()->index(1, 4)));
    QVERIFY(!(list->model()->flags(list->model()->index(1, 0)) & Qt::ItemIsEditable));
}

void TestForm1::controlsKeepTheirPlacesWhenResized()
{
    QTemporaryDir dir;
    auto s = start(dir);
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    QCOMPARE(s.form->size(), QSize(TwipsToPixels(6780), TwipsToPixels(3735)));
    const QRect listGeometry(0, 0, TwipsToPixels(6735), TwipsToPixels(3375));
    const QRect stripGeometry(0, TwipsToPixels(3120), TwipsToPixels(6735), TwipsToPixels(615));
    for (const QSize size : {QSize(800, 600), QSize(200, 120)}) {
        s.form->resize(size);
        QCOMPARE(s.form->listView()->geometry(), listGeometry);
        QCOMPARE(s.form->strip()->geometry(), stripGeometry);
    }
    QCOMPARE(s.form->strip()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(s.form->strip()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void TestForm1::menusHoldEveryItemInOrder()
{
    QTemporaryDir dir;
    auto s = start(dir);
    auto itemsOf = [](QMenu *menu) {
        QStringList items;
        for (QAction *a : menu->actions()) {
            // every item is an ordinary, enabled command without a check mark
            const bool plain = a->isEnabled() && !a->isCheckable() && !a->isSeparator();
            items << a->objectName() + QLatin1Char('=') + a->text() +
                         (plain ? QString() : QStringLiteral(" (not plain)"));
        }
        return items;
    };
    QCOMPARE(s.form->contextMenu()->objectName(), QStringLiteral("mnu2"));
    QCOMPARE(s.form->contextMenu()->title(), QStringLiteral("右键菜单"));
    QCOMPARE(itemsOf(s.form->contextMenu()),
             (QStringList{"mnu21=添加股票", "mnu22=删除股票", "mnu23=查看分时"}));
    QCOMPARE(s.form->trayMenu()->objectName(), QStringLiteral("mn"));
    QCOMPARE(s.form->trayMenu()->title(), QStringLiteral("托盘菜单"));
    QCOMPARE(itemsOf(s.form->trayMenu()),
             (QStringList{"mn17=添加股票", "mn21=——————", "mn19=预警开", "mn20=预警关",
                          "mn18=——————", "mn1=Tesquin官网", "mn11=-----------",
                          "mn12=开机启动", "mn13=取消开机启动", "mn14=——————",
                          "mn15=需要稳定收益", "mn16=退出"}));
}

void TestForm1::timersAtStart()
{
    QTemporaryDir dir;
    auto s = start(dir);
    QCOMPARE(s.form->timer1()->interval(), 8000);
    QVERIFY(s.form->timer1()->isActive());
    QCOMPARE(s.form->timer2()->interval(), 8000);
    QVERIFY(!s.form->timer2()->isActive());
    QCOMPARE(s.form->timer3()->interval(), 500);
    QVERIFY(s.form->timer3()->isActive());
}

void TestForm1::screenReaderReadsHeadersCellsAndMenus()
{
    QTemporaryDir dir;
    writeFile(pathOf(dir) / "Setting.ini", "600000\r\n");
    writeFile(pathOf(dir) / "Setting2.ini", "10.5\r\n");
    auto s = start(dir);
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));

    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(s.form.get());
    QVERIFY(window);
    QVERIFY(window->text(QAccessible::Name).startsWith(QStringLiteral("Velmora")));

    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(s.form->listView());
    QVERIFY(list);
    QCOMPARE(list->text(QAccessible::Name), QStringLiteral("自选股列表"));
    QAccessibleTableInterface *table = list->tableInterface();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 8);
    QCOMPARE(table->rowCount(), 1);
    QAccessibleInterface *header = table->cellAt(0, 0)
                                       ? table->cellAt(0, 0)->tableCellInterface()
                                             ->columnHeaderCells()
                                             .value(0)
                                       : nullptr;
    QVERIFY(header);
    QCOMPARE(header->text(QAccessible::Name), QStringLiteral("代码"));
    QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("600000"));
    QCOMPARE(table->cellAt(0, 1)->text(QAccessible::Name), QStringLiteral("待命"));
    QCOMPARE(table->cellAt(0, 6)->text(QAccessible::Name), QStringLiteral("10.5"));

    QAccessibleInterface *strip = QAccessible::queryAccessibleInterface(s.form->strip());
    QCOMPARE(strip->text(QAccessible::Name), QStringLiteral("公告栏"));

    s.form->trayMenu()->popup(QPoint(10, 10));
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(s.form->trayMenu());
    QVERIFY(menu);
    QCOMPARE(menu->childCount(), 12);
    QCOMPARE(menu->child(2)->text(QAccessible::Name), QStringLiteral("预警开"));
    s.form->trayMenu()->close();
}

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
