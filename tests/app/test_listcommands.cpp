#include "adddialog/dialogfixture.h"

#include <QItemSelectionModel>
#include <QMenu>
#include <QTreeView>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(velmora::WatchEntries)

namespace {

const char *kFiles[] = {"Setting.ini", "Setting2.ini", "Setting3.ini"};

std::array<std::string, 3> contentsOf(const WatchEntries &rows)
{
    std::array<std::string, 3> files;
    for (const auto &row : rows) {
        files[0] += row.code + "\r\n";
        files[1] += row.takeProfit + "\r\n";
        files[2] += row.stopLoss + "\r\n";
    }
    return files;
}

void putList(const fs::path &dir, const WatchEntries &rows)
{
    const auto files = contentsOf(rows);
    for (int i = 0; i < 3; ++i)
        writeFile(dir / kFiles[i], files[i]);
}

void select(Form1 &form, const QList<int> &rows)
{
    QItemSelectionModel *selection = form.listView()->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(form.model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QPoint centreOfRow(Form1 &form, int row)
{
    return form.listView()->visualRect(form.model()->index(row, 0)).center();
}

const WatchEntries kThree{{"600000", "10.5", "9.5"}, {"000001", "12", "8"}, {"300750", "", "-"}};

} // namespace

class TestListCommands : public QObject
{
    Q_OBJECT

private slots:
    void contextMenu_data();
    void contextMenu();
    void add_data();
    void add();
    void remove_data();
    void remove();
    void rightClickedRowIsRemoved();
    void removalFailureKeepsList();
    void readOnlyRunChangesNothing();
    void trayMenuOpensTheSameDialog();
};

void TestListCommands::contextMenu_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("overRow");
    QTest::addColumn<bool>("shown");
    QTest::newRow("right button over a row") << int(Qt::RightButton) << true << true;
    QTest::newRow("right button below the rows") << int(Qt::RightButton) << false << true;
    QTest::newRow("left button") << int(Qt::LeftButton) << true << false;
    QTest::newRow("middle button") << int(Qt::MiddleButton) << true << false;
}

void TestListCommands::contextMenu()
{
    QFETCH(int, button);
    QFETCH(bool, overRow);
    QFETCH(bool, shown);
    DialogFixture fixture;
    putList(fixture.dataPath(), kThree);
    fixture.start();
    QWidget *viewport = fixture.form->listView()->viewport();
    const QPoint at = overRow ? centreOfRow(*fixture.form, 1) : QPoint(20, viewport->height() - 5);
    QTest::mouseClick(viewport, Qt::MouseButton(button), {}, at);
    QMenu *menu = fixture.form->contextMenu();
    QCOMPARE(menu->isVisible(), shown);
    if (shown) {
        QCOMPARE(menu->objectName(), QStringLiteral("mnu2"));
        QCOMPARE(menu->pos(), viewport->mapToGlobal(at));
        menu->hide();
    }
}

void TestListCommands::add_data()
{
    QTest::addColumn<WatchEntries>("before"); // empty: a new directory without files
    QTest::addColumn<QByteArray>("reply"); // empty: the service refuses
    QTest::addColumn<QString>("code");
    QTest::addColumn<WatchEntries>("after");

    const QByteArray ten = QuoteReplyText("示例股份", "10");
    QTest::newRow("new directory gets three one-line files")
        << WatchEntries{} << ten << "600000" << WatchEntries{{"600000", "10.5", "9.5"}};
    QTest::newRow("duplicate code adds a second row and line")
        << WatchEntries{{"600000", "11", "9"}} << ten << "600000"
        << WatchEntries{{"600000", "11", "9"}, {"600000", "10.5", "9.5"}};
    QTest::newRow("code of five characters")
        << kThree << QuoteReplyText("五位代码", "2.5") << "60000"
        << WatchEntries{kThree[0], kThree[1], kThree[2], {"60000", "2.62", "2.38"}};
    QTest::newRow("placeholders stored as they stand")
        << WatchEntries{} << QuoteReplyText("停牌股份", "--") << "600000"
        << WatchEntries{{"600000", "现价的5%", "现价的-5%"}};
    QTest::newRow("failed fetch stores zeros")
        << WatchEntries{} << QByteArray() << "600000" << WatchEntries{{"600000", "0", "0"}};
    QTest::newRow("empty code") << WatchEntries{} << QByteArray() << "" << WatchEntries{{"", "0", "0"}};
}

// From the context menu to the files and back after a restart.
void TestListCommands::add()
{
    QFETCH(WatchEntries, before);
    QFETCH(QByteArray, reply);
    QFETCH(QString, code);
    QFETCH(WatchEntries, after);

    DialogFixture fixture(QStringLiteral("fresh"));
    fs::create_directory(fixture.dataPath());
    if (!before.empty())
        putList(fixture.dataPath(), before);
    if (!reply.isEmpty())
        fixture.service.setReply(code.toUtf8(), reply);
    fixture.start();

    QPointer<FrmAdd> dialog = fixture.open();
    QVERIFY(dialog);
    QVERIFY(DialogFixture::lookUp(dialog, code));
    QVERIFY(DialogFixture::addButton(dialog)->isEnabled());
    QTest::mouseClick(DialogFixture::addButton(dialog), Qt::LeftButton);
    QTRY_VERIFY(!dialog);
    QVERIFY(fixture.messages.isEmpty());

    const WatchListModel *model = fixture.form->model();
    QCOMPARE(model->entries(), after);
    const int last = model->rowCount() - 1;
    QCOMPARE(model->text(last, WatchListModel::Price), QStringLiteral("待命"));
    QCOMPARE(model->text(last, WatchListModel::Name), QString());
    QCOMPARE(model->text(last, WatchListModel::TakeProfit),
             QString::fromStdString(after.back().takeProfit));
    QCOMPARE(snapshot(fixture.dataPath()), contentsOf(after));

    // The next run lists the same.
    fixture.start();
    QCOMPARE(fixture.form->model()->entries(), after);
}

void TestListCommands::remove_data()
{
    QTest::addColumn<WatchEntries>("before");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<WatchEntries>("after");

    QTest::newRow("last row") << kThree << QList<int>{2} << WatchEntries{kThree[0], kThree[1]};
    QTest::newRow("middle row keeps the others together")
        << kThree << QList<int>{1} << WatchEntries{kThree[0], kThree[2]};
    QTest::newRow("first row") << kThree << QList<int>{0} << WatchEntries{kThree[1], kThree[2]};
    QTest::newRow("only row") << WatchEntries{kThree[0]} << QList<int>{0} << WatchEntries{};
    QTest::newRow("two rows with one code lose only the selected one")
        << WatchEntries{{"600000", "11", "9"}, {"000001", "12", "8"}, {"600000", "21", "19"}}
        << QList<int>{2} << WatchEntries{{"600000", "11", "9"}, {"000001", "12", "8"}};
    QTest::newRow("several selected: the first in list order goes")
        << kThree << QList<int>{2, 1} << WatchEntries{kThree[0], kThree[2]};
    QTest::newRow("nothing selected") << kThree << QList<int>{} << kThree;
    QTest::newRow("empty list") << WatchEntries{} << QList<int>{} << WatchEntries{};
}

void TestListCommands::remove()
{
    QFETCH(WatchEntries, before);
    QFETCH(QList<int>, selected);
    QFETCH(WatchEntries, after);

    DialogFixture fixture;
    putList(fixture.dataPath(), before);
    // Lines ending in a lone LF: a removal that changes nothing must leave them so.
    writeFile(fixture.dataPath() / "Setting3.ini", [&] {
        std::string lf;
        for (const auto &row : before)
            lf += row.stopLoss + "\n";
        return lf;
    }());
    const auto original = snapshot(fixture.dataPath());
    fixture.start();
    select(*fixture.form, selected);

    fixture.form->action("mnu22")->trigger();
    QCOMPARE(fixture.form->model()->entries(), after);
    QVERIFY(fixture.messages.isEmpty());
    if (after == before)
        QCOMPARE(snapshot(fixture.dataPath()), original);
    else
        QCOMPARE(snapshot(fixture.dataPath()), contentsOf(after));
    QVERIFY(!fs::exists(fixture.dataPath() / "Setting.commit"));
}

// A right click selects the row under the pointer, and "删除股票" then removes that row.
void TestListCommands::rightClickedRowIsRemoved()
{
    DialogFixture fixture;
    putList(fixture.dataPath(), kThree);
    fixture.start();
    select(*fixture.form, {0});
    QWidget *viewport = fixture.form->listView()->viewport();
    QTest::mouseClick(viewport, Qt::RightButton, {}, centreOfRow(*fixture.form, 1));
    QVERIFY(fixture.form->contextMenu()->isVisible());
    fixture.form->action("mnu22")->trigger();
    fixture.form->contextMenu()->hide();
    QCOMPARE(fixture.form->model()->entries(), (WatchEntries{kThree[0], kThree[2]}));
    QCOMPARE(snapshot(fixture.dataPath()), contentsOf({kThree[0], kThree[2]}));
}

void TestListCommands::removalFailureKeepsList()
{
    DialogFixture fixture;
    putList(fixture.dataPath(), kThree);
    const auto original = snapshot(fixture.dataPath());
    fixture.start();
    WatchListModel *model = fixture.form->model();
    const std::uint64_t middle = model->rowAt(1).id;
    model->setQuote(middle, {"平安银行", "12.5", "12.9", "12.1", "-0.8%"});
    select(*fixture.form, {1});
    fs::create_directory(fixture.dataPath() / "Setting2.ini.new");

    fixture.form->action("mnu22")->trigger();
    QCOMPARE(fixture.messages.size(), 1);
    QVERIFY2(fixture.messages[0].contains(QStringLiteral("Setting2.ini")),
             qPrintable(fixture.messages[0]));
    QVERIFY(fixture.messages[0].contains(QStringLiteral("没有删除")));
    // The row is back at its place with what the refresh had written, and still selected.
    QCOMPARE(model->entries(), kThree);
    QCOMPARE(model->positionOf(middle), std::optional<int>(1));
    QCOMPARE(model->text(1, WatchListModel::Price), QStringLiteral("12.5"));
    QVERIFY(fixture.form->listView()->selectionModel()->isRowSelected(1, {}));
    QCOMPARE(snapshot(fixture.dataPath()), original);
    QVERIFY(!fs::exists(fixture.dataPath() / "Setting.ini.new"));
    QVERIFY(!fs::exists(fixture.dataPath() / "Setting.commit"));
}

void TestListCommands::readOnlyRunChangesNothing()
{
    DialogFixture fixture;
    putList(fixture.dataPath(), kThree);
    // The take-profit file exists but cannot be read.
    fs::remove(fixture.dataPath() / "Setting2.ini");
    fs::create_directory(fixture.dataPath() / "Setting2.ini");
    fixture.start();
    QCOMPARE(fixture.messages.size(), 1); // the start-up report
    QCOMPARE(fixture.form->model()->rowCount(), 0);

    // Nothing listed, nothing removed; an added stock is refused with a message.
    fixture.service.setReply("600000", QuoteReplyText("示例股份", "10"));
    QPointer<FrmAdd> dialog = fixture.open();
    QVERIFY(dialog);
    QVERIFY(DialogFixture::lookUp(dialog, QStringLiteral("600000")));
    QTest::mouseClick(DialogFixture::addButton(dialog), Qt::LeftButton);
    QCOMPARE(fixture.messages.size(), 2);
    QVERIFY2(fixture.messages[1].contains(QStringLiteral("启动时无法读取")),
             qPrintable(fixture.messages[1]));
    QVERIFY(fixture.messages[1].contains(QStringLiteral("Setting2.ini")));
    QCOMPARE(fixture.form->model()->rowCount(), 0);
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(readFile(fixture.dataPath() / "Setting.ini"), contentsOf(kThree)[0]);
    QVERIFY(fs::is_directory(fixture.dataPath() / "Setting2.ini"));
}

void TestListCommands::trayMenuOpensTheSameDialog()
{
    DialogFixture fixture;
    fixture.start();
    QVERIFY(!fixture.commands()->addDialog());
    fixture.form->action("mn17")->trigger();
    QPointer<FrmAdd> fromTray = fixture.commands()->addDialog();
    QVERIFY(fromTray);
    QVERIFY(fromTray->isVisible());
    fixture.form->action("mnu21")->trigger();
    QCOMPARE(fixture.commands()->addDialog(), fromTray.data());

    // With the main window hidden in the tray, the tray's command still opens it.
    fromTray->close();
    QTRY_VERIFY(!fromTray);
    fixture.form->hide();
    fixture.form->action("mn17")->trigger();
    QVERIFY(fixture.commands()->addDialog());
    QVERIFY(fixture.commands()->addDialog()->isVisible());
}

QTEST_MAIN(TestListCommands)
#include "test_listcommands.moc"
