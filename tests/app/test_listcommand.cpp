#include "platform/filechooser.h"
#include "platform/singleinstance.h"
#include "support/appfixture.h"
#include "ui/restoredialog.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const Files kWritten{"600000\r\n000001\r\n", "10.5\r\n12\r\n", "9\r\n\r\n"};
const std::string kExported = "\xEF\xBB\xBF代码,止盈价,止损价\r\n600000,10.5,9\r\n000001,12,\r\n";

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// The real program on a command line, as a script runs it.
Run runProgram(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(VELMORA_BINARY), arguments);
    if (!process.waitForFinished(30000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

// The list as a table, in and out: from a command line with and without the program running
// on the folder, and from the list's menu; and back to a copy taken before a change.
class TestListCommand : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void handedToTheRunningProgram();
    void fromTheMenu();
    void restoredFromTheMenu();
};

void TestListCommand::commandLine_data()
{
    QTest::addColumn<QStringList>("args"); // "@dir" the data folder, "@file" the table
    QTest::addColumn<QByteArray>("table"); // the file given to --import
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");     // the start of what is printed
    QTest::newRow("export") << QStringList{"--export", "@file"} << QByteArray() << 0
                            << "已把 2 只股票导出到 list.csv。";
    QTest::newRow("import appends as one change")
        << QStringList{"--import", "@file"} << QByteArray("300750\t200\t150\r\n") << 0
        << "已从 list.csv 导入 1 只股票。";
    QTest::newRow("a bad line imports nothing and is named")
        << QStringList{"--import", "@file"} << QByteArray("300750,200\r\n600036,x\r\n600000,1,-5\r\n")
        << 1 << "文件 list.csv 中有不能导入的行，没有导入任何股票：\n第 3 行：止损价不能是负数：-5";
    QTest::newRow("GBK with a header") << QStringList{"--import", "@file"}
        << QByteArray("\xb4\xfa\xc2\xeb,\xd6\xb9\xd3\xaf\xbc\xdb\r\n\xb2\xe2\xca\xd4,1\r\n") << 0
        << "已从 list.csv 导入 1 只股票。";
    QTest::newRow("a list that cannot be read refuses an import")
        << QStringList{"--import", "@file", "@unreadable"} << QByteArray("300750\r\n") << 1
        << "启动时无法读取磁盘上的自选股列表（Setting2.ini：是一个文件夹而不是文件）";
    QTest::newRow("no file after --import") << QStringList{"--import"} << QByteArray() << 2
                                            << "velmora: --import 后面缺少文件。";
    QTest::newRow("lots in, a new code with them")
        << QStringList{"--import-holdings", "@file"}
        << QByteArray("代码,买入日期,数量,成本价\r\n00700,2026-11-02,100,300\r\n") << 0
        << "已从 list.csv 导入 1 笔持仓。\n新加入自选股 1 只。";
    QTest::newRow("lots with bad lines: each named, nothing in")
        << QStringList{"--import-holdings", "@file"}
        << QByteArray("600000,2026-11-02,-3,1\r\n600000,2026-11-02,1,1,1\r\n") << 1
        << "文件 list.csv 中有不能导入的行，没有导入任何持仓：\n第 1 行：数量须为大于零的整数：-3\n"
           "第 2 行：字段太多（5 个，最多 4 个）";
    QTest::newRow("lots out") << QStringList{"--export-holdings", "@file"} << QByteArray() << 0
                              << "已把 0 笔持仓导出到 list.csv。";
    QTest::newRow("both at once") << QStringList{"--import", "@file", "--export", "x.csv"}
                                  << QByteArray() << 2 << "velmora: --import 和 --export 不能同时使用。";
}

void TestListCommand::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, table);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir dir, elsewhere;
    putThree(pathOf(dir), kWritten);
    const QString file = elsewhere.filePath("list.csv");
    if (!table.isEmpty())
        writeFile(file.toStdString(), table.toStdString());
    if (args.removeAll("@unreadable")) {
        std::filesystem::remove(pathOf(dir) / kTakeProfitFileName);
        std::filesystem::create_directory(pathOf(dir) / kTakeProfitFileName);
    }
    for (QString &arg : args)
        arg.replace("@file", file);
    const Run run = runProgram(QStringList{"--data-dir", dir.path()} + args);
    QCOMPARE(run.status, status);
    QCOMPARE((status == 0 ? run.out : run.err).left(said.size()), said);
    if (status != 0)
        QCOMPARE(snapshot(pathOf(dir))[0], kWritten[0]); // nothing written
    if (args.first() == "--export")
        QCOMPARE(readFile(file.toStdString()), kExported);
    if (args.first() == "--export-holdings")
        QCOMPARE(readFile(file.toStdString()), "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n");
}

// A list the program wrote goes out and comes back into a fresh folder byte for byte, and the
// program running on that folder does the import itself: its list on screen and its files stay
// one.
void TestListCommand::handedToTheRunningProgram()
{
    QTemporaryDir source, elsewhere;
    putThree(pathOf(source), kWritten);
    const QString file = elsewhere.filePath("list.csv");
    QCOMPARE(runProgram({"--data-dir", source.path(), "--export", file}).status, 0);

    AppFixture f;
    QVERIFY(f.start());
    SingleInstance running(f.settings.dataDir);
    QCOMPARE(running.claim(), SingleInstance::Claim::First);
    running.setCommandHandler([&f](ListVerb verb, const QString &path) {
        return f.app->runCommand(verb, path);
    });
    QProcess script;
    script.start(QStringLiteral(VELMORA_BINARY), {"--data-dir", f.settings.dataDir, "--import", file});
    QVERIFY(QTest::qWaitFor([&] { return script.state() == QProcess::NotRunning; }, 30000));
    QCOMPARE(script.exitCode(), 0);
    QCOMPARE(f.list().rowCount(), 2); // on screen at once
    QCOMPARE(snapshot(f.dataPath()), kWritten);
}

void TestListCommand::fromTheMenu()
{
    QTemporaryDir elsewhere;
    const QString file = elsewhere.filePath("out.csv");
    AppFixture f;
    putThree(f.dataPath(), kWritten);
    QVERIFY(f.start());
    QString chosen = file;
    SetFileChooserForTests([&chosen](bool) { return chosen; });
    f.action("exportItem")->trigger();
    QCOMPARE(readFile(file.toStdString()), kExported);
    QCOMPARE(f.messages.takeLast(), "已把 2 只股票导出到 out.csv。");

    writeFile(file.toStdString(), "300750,200,150\n");
    f.action("importItem")->trigger();
    QCOMPARE(f.list().rowCount(), 3);
    QCOMPARE(f.messages.takeLast(), "已从 out.csv 导入 1 只股票。");
    chosen.clear(); // the user cancels: nothing happens
    f.action("importItem")->trigger();
    QVERIFY(f.messages.isEmpty());

    // The header tells an import which kind it is; the export asks which kind the user wants.
    chosen = file;
    writeFile(file.toStdString(), "代码,买入日期,数量,成本价\r\n300750,2026-11-02,100,0.007\r\n");
    f.action("importItem")->trigger();
    QCOMPARE(f.messages.takeLast(), "已从 out.csv 导入 1 笔持仓。");
    QCOMPARE(f.list().rowCount(), 3);
    SetFileChooserForTests([&chosen](bool) { return chosen; }, 1);
    f.action("exportItem")->trigger();
    QCOMPARE(f.messages.takeLast(), "已把 1 笔持仓导出到 out.csv。");
    QCOMPARE(readFile(file.toStdString()),
             "\xEF\xBB\xBF代码,买入日期,数量,成本价\r\n300750,2026-11-02,100,0.007\r\n");
    SetFileChooserForTests(nullptr);

}

void TestListCommand::restoredFromTheMenu()
{
    AppFixture f;
    putThree(f.dataPath(), kWritten);
    QVERIFY(f.start());
    f.select({0});
    f.action("mnu22")->trigger(); // a slip of the hand
    QCOMPARE(f.list().rowCount(), 1);

    f.action("restoreItem")->trigger();
    RestoreDialog *dialog = f.app->windows().restoreDialog();
    QVERIFY(dialog && dialog->isVisible());
    auto *copies = dialog->findChild<QListWidget *>("snapshotList");
    QCOMPARE(copies->count(), 1);
    QVERIFY(copies->item(0)->text().endsWith(" · 2 只股票"));
    dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(f.list().rowCount(), 2);
    QCOMPARE(snapshot(f.dataPath()), kWritten);
    QVERIFY(f.messages.takeLast().startsWith("自选股列表已恢复到"));
    QCOMPARE(f.list().snapshots().size(), 2u); // the restore was copied first, like any change
}

QTEST_MAIN(TestListCommand)
#include "test_listcommand.moc"
