#include "core/systemerror.h"
#include "platform/translations.h"
#include "support/tempdir.h"
#include "ui/mainwindow.h"
#include "watchlist/changefailure.h"
#include "watchlist/watchlist.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace velmora;

// Every text the user sees is Chinese, on a desktop whose locale is not (CTest runs this under
// LC_ALL=C.UTF-8): Qt's own buttons, the system's reasons, the strip's menu.
class TestChineseTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void qtButtons();
    void systemReasons_data();
    void systemReasons();
    void startMessageNamesTheFile();
    void stripMenu();
};

void TestChineseTexts::initTestCase()
{
    QCOMPARE(InstallChineseTranslations(), 1);
}

void TestChineseTexts::qtButtons()
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velmora"), QStringLiteral("x"),
                    QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

void TestChineseTexts::systemReasons_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << ENOENT << "文件不存在";
    QTest::newRow("not allowed") << EACCES << "权限不足";
    QTest::newRow("a folder") << EISDIR << "是一个文件夹而不是文件";
    QTest::newRow("full") << ENOSPC << "磁盘已满";
    QTest::newRow("read-only mount") << EROFS << "只读文件系统";
    QTest::newRow("disk error") << EIO << "输入输出错误";
    QTest::newRow("no wording of ours: the system's") << E2BIG << QString::fromLocal8Bit(std::strerror(E2BIG));
}

void TestChineseTexts::systemReasons()
{
    QFETCH(int, number);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(SystemErrorText({number, std::strerror(number)})), text);
}

void TestChineseTexts::startMessageNamesTheFile()
{
    const StoreError error{"Setting2.ini", "Is a directory", EISDIR,
                           StoreError::Kind::UnreadableList};
    QCOMPARE(LoadFailureText(error).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("无法读取自选股文件 Setting2.ini：是一个文件夹而不是文件。"));
    const StoreError readOnly{"", "Read-only file system", EROFS, StoreError::Kind::ReadOnlyFolder};
    QVERIFY(LoadFailureText(readOnly).startsWith(QStringLiteral("数据文件夹不能写入（只读文件系统）")));
    // Refused changes say the same as the start did.
    QCOMPARE(StoreFailureText(readOnly, WatchListChange::Add), LoadFailureText(readOnly));
    // A lots file that is not understood: its lines named, the list shown, the file kept.
    const StoreError lots{"Holdings.csv", "第 2 行：数量须为大于零的整数：0", 0, StoreError::Kind::UnreadableList};
    QCOMPARE(HoldingsFailureText(lots), "无法读取持仓文件 Holdings.csv：\n第 2 行：数量须为大于零的整数：0\n"
                                        "自选股列表照常显示；为保护该文件，本次运行不会修改持仓。");
}

void TestChineseTexts::stripMenu()
{
    QTemporaryDir dir;
    WatchList list(testing::pathOf(dir));
    MainWindow window(list, QStringLiteral("www.tesquin.example"), false);
    QStringList items;
    for (const QAction *action : window.stripMenu()->actions())
        items << action->text();
    QCOMPARE(items, (QStringList{"复制", "全选"}));
    QCOMPARE(window.strip()->contextMenuPolicy(), Qt::CustomContextMenu);
}

QTEST_MAIN(TestChineseTexts)
#include "test_chinesetexts.moc"
