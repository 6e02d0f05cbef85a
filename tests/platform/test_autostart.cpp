#include "platform/autostart.h"
#include "core/desktopentry.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;

namespace {

QProcessEnvironment envWithConfig(const QString &configHome)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), QStringLiteral("/home/someone"));
    if (!configHome.isNull())
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    return env;
}

// Undoes the string escapes and then the quoting of one Exec argument the way a desktop reads
// it, so the table checks that what goes in comes back out.
std::string readBack(const std::string &written)
{
    std::string unescaped;
    for (size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\\' && i + 1 < written.size()) {
            const char next = written[++i];
            unescaped += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
        } else {
            unescaped += written[i];
        }
    }
    std::string out;
    const bool quoted = unescaped.size() >= 2 && unescaped.front() == '"';
    for (size_t i = quoted ? 1 : 0; i < unescaped.size() - (quoted ? 1 : 0); ++i) {
        if (unescaped[i] == '%' && i + 1 < unescaped.size() && unescaped[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (quoted && unescaped[i] == '\\' && i + 1 < unescaped.size()) {
            out += unescaped[++i];
        } else {
            out += unescaped[i];
        }
    }
    return out;
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void execQuoting_data();
    void execQuoting();
    void entryText_data();
    void entryText();
    void entryPlace_data();
    void entryPlace();
    void registerAndUnregister();
    void renamedExecutableGetsSecondEntry();
    void failures_data();
    void failures();
};

void TestAutostart::execQuoting_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec"); // empty: cannot be written

    QTest::newRow("plain path") << "/opt/velmora/velmora" << "/opt/velmora/velmora";
    QTest::newRow("blank") << "/home/a b/velmora" << "\"/home/a b/velmora\"";
    QTest::newRow("Chinese folder") << "/home/张三/股票/velmora" << "/home/张三/股票/velmora";
    QTest::newRow("double quote") << "/x\"y/velmora" << "\"/x\\\\\"y/velmora\"";
    QTest::newRow("single quote") << "/it's/velmora" << "\"/it's/velmora\"";
    QTest::newRow("dollar") << "/a$HOME/velmora" << "\"/a\\\\$HOME/velmora\"";
    QTest::newRow("backtick") << "/a`b`/velmora" << "\"/a\\\\`b\\\\`/velmora\"";
    QTest::newRow("backslash") << "/a\\b/velmora" << "\"/a\\\\\\\\b/velmora\"";
    QTest::newRow("percent, unquoted") << "/100%/velmora" << "/100%%/velmora";
    QTest::newRow("percent and blank") << "/100 %f/velmora" << "\"/100 %%f/velmora\"";
    QTest::newRow("tilde") << "/~user/velmora" << "\"/~user/velmora\"";
    QTest::newRow("shell characters") << "/a;b|c&d<e>f*g?h#i(j)/v"
                                      << "\"/a;b|c&d<e>f*g?h#i(j)/v\"";
    QTest::newRow("tab and newline") << "/a\tb\nc/velmora" << "\"/a\\tb\\nc/velmora\"";
    QTest::newRow("carriage return, not reserved") << "/a\rb/velmora" << "/a\\rb/velmora";
    QTest::newRow("equals sign and comma") << "/a=b,c/velmora" << "/a=b,c/velmora";
    QTest::newRow("bell character") << "/a\ab/velmora" << QString();
    QTest::newRow("delete character") << "/a\x7f" "b/velmora" << QString();
}

void TestAutostart::execQuoting()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    const auto written = DesktopExecArgument(path.toStdString());
    if (exec.isNull()) {
        QVERIFY(!written);
        QVERIFY(!AutostartEntryText(path.toStdString()));
        return;
    }
    QVERIFY(written);
    QCOMPARE(QString::fromStdString(*written), exec);
    QCOMPARE(QString::fromStdString(readBack(*written)), path);
}

void TestAutostart::entryText_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("exec");

    QTest::newRow("no arguments") << QStringList{} << "\"/home/a b/bin/velmora\"";
    QTest::newRow("data directory with a blank and Chinese")
        << QStringList{"--data-dir", "/home/张三/我的 股票"}
        << "\"/home/a b/bin/velmora\" --data-dir \"/home/张三/我的 股票\"";
    QTest::newRow("data directory with a percent sign")
        << QStringList{"--data-dir", "/data/100%"}
        << "\"/home/a b/bin/velmora\" --data-dir /data/100%%";
}

void TestAutostart::entryText()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, exec);
    std::vector<std::string> args;
    for (const QString &argument : arguments)
        args.push_back(argument.toStdString());
    const auto text = AutostartEntryText("/home/a b/bin/velmora", args);
    QVERIFY(text);
    QCOMPARE(QString::fromStdString(*text),
             QStringLiteral("[Desktop Entry]\n"
                            "Type=Application\n"
                            "Version=1.5\n"
                            "Name=Velmora\n"
                            "Comment=自选股行情与预警，常驻系统托盘\n"
                            "Exec=%1\n"
                            "Terminal=false\n"
                            "X-GNOME-Autostart-enabled=true\n")
                 .arg(exec));
}

void TestAutostart::entryPlace_data()
{
    QTest::addColumn<QString>("configHome"); // null: not set
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("entry");

    QTest::newRow("config home set")
        << "/tmp/cfg" << "/opt/v/velmora" << "/tmp/cfg/autostart/velmora.desktop";
    QTest::newRow("config home unset") << QString() << "/opt/v/velmora"
                                       << "/home/someone/.config/autostart/velmora.desktop";
    QTest::newRow("config home empty") << "" << "/opt/v/velmora"
                                       << "/home/someone/.config/autostart/velmora.desktop";
    QTest::newRow("relative config home is ignored")
        << "cfg" << "/opt/v/velmora" << "/home/someone/.config/autostart/velmora.desktop";
    QTest::newRow("named after the executable's whole file name")
        << "/tmp/cfg" << "/opt/v/velmora.bin" << "/tmp/cfg/autostart/velmora.bin.desktop";
}

void TestAutostart::entryPlace()
{
    QFETCH(QString, configHome);
    QFETCH(QString, executable);
    QFETCH(QString, entry);
    QCOMPARE(XdgAutostart::entryPath(executable, envWithConfig(configHome)), entry);
}

void TestAutostart::registerAndUnregister()
{
    QTemporaryDir config;
    const auto env = envWithConfig(config.path() + QStringLiteral("/not/yet/there"));
    const QString exe = QStringLiteral("/opt/my apps/velmora");
    const QString entry = XdgAutostart::entryPath(exe, env);

    QCOMPARE(XdgAutostart::registerExecutable(exe, {}, env), std::nullopt);
    QCOMPARE(readFile(entry.toStdString()), *AutostartEntryText(exe.toStdString()));

    // Moved elsewhere and registered again: the same entry now names the new place.
    const QString moved = QStringLiteral("/srv/velmora");
    QCOMPARE(XdgAutostart::registerExecutable(moved, {}, env), std::nullopt);
    QCOMPARE(readFile(entry.toStdString()), *AutostartEntryText(moved.toStdString()));
    QCOMPARE(QDir(QFileInfo(entry).path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("velmora.desktop")});

    QCOMPARE(XdgAutostart::unregisterExecutable(moved, env), std::nullopt);
    QVERIFY(!QFile::exists(entry));
}

void TestAutostart::renamedExecutableGetsSecondEntry()
{
    QTemporaryDir config;
    const auto env = envWithConfig(config.path());
    QCOMPARE(XdgAutostart::registerExecutable(QStringLiteral("/opt/v/velmora"), {}, env),
             std::nullopt);
    QCOMPARE(XdgAutostart::registerExecutable(QStringLiteral("/opt/v/velmora-old"), {}, env),
             std::nullopt);
    QCOMPARE(QDir(config.path() + QStringLiteral("/autostart")).entryList(QDir::Files),
             (QStringList{"velmora-old.desktop", "velmora.desktop"}));
    QCOMPARE(XdgAutostart::unregisterExecutable(QStringLiteral("/opt/v/velmora"), env),
             std::nullopt);
    QCOMPARE(QDir(config.path() + QStringLiteral("/autostart")).entryList(QDir::Files),
             QStringList{"velmora-old.desktop"});
}

void TestAutostart::failures_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("registering");
    QTest::addColumn<QString>("messageStart");
    QTest::addColumn<QString>("names"); // the file named, and the reason in Chinese

    QTest::newRow("a file where the autostart folder must be")
        << "file as folder" << true << "无法设置开机启动：无法创建文件夹"
        << "autostart（路径中有一项不是文件夹）";
    QTest::newRow("a file where the config folder must be")
        << "file as config" << true << "无法设置开机启动：无法创建文件夹"
        << "autostart（路径中有一项不是文件夹）";
    QTest::newRow("a folder where the entry must be")
        << "folder as entry" << true << "无法设置开机启动：无法写入"
        << "velmora.desktop（是一个文件夹而不是文件）";
    QTest::newRow("path holding a control character")
        << "bad path" << true << "无法设置开机启动：程序路径" << "velmora";
    QTest::newRow("data directory holding a control character")
        << "bad argument" << true << "无法设置开机启动：启动参数" << "/data/a";
    QTest::newRow("nothing to remove")
        << "empty" << false << "无法取消开机启动：没有找到启动项 velmora.desktop。" << "";
    QTest::newRow("entry cannot be removed")
        << "folder as entry" << false << "无法取消开机启动：无法删除"
        << "velmora.desktop（是一个文件夹而不是文件）";
}

void TestAutostart::failures()
{
    QFETCH(QString, setup);
    QFETCH(bool, registering);
    QFETCH(QString, messageStart);
    QFETCH(QString, names);

    // Tests run as root, who ignores permissions: the failures are made with files and folders
    // standing where the other kind must be.
    QTemporaryDir tmp;
    QString configHome = tmp.path() + QStringLiteral("/config");
    QString exe = QStringLiteral("/opt/v/velmora");
    QStringList arguments{QStringLiteral("--data-dir"), QStringLiteral("/data/a b")};
    QDir().mkpath(configHome);
    if (setup == QLatin1String("file as folder")) {
        writeFile((configHome + QStringLiteral("/autostart")).toStdString(), "");
    } else if (setup == QLatin1String("file as config")) {
        configHome = tmp.path() + QStringLiteral("/plainfile");
        writeFile(configHome.toStdString(), "");
    } else if (setup == QLatin1String("folder as entry")) {
        QDir().mkpath(configHome + QStringLiteral("/autostart/velmora.desktop/inside"));
    } else if (setup == QLatin1String("bad path")) {
        exe = QStringLiteral("/opt/v\x01/velmora");
    } else if (setup == QLatin1String("bad argument")) {
        arguments.last() = QStringLiteral("/data/a\x02");
    }
    const auto env = envWithConfig(configHome);
    const auto before = QDir(tmp.path()).entryList();

    const auto failure = registering ? XdgAutostart::registerExecutable(exe, arguments, env)
                                     : XdgAutostart::unregisterExecutable(exe, env);
    QVERIFY(failure);
    QVERIFY2(failure->startsWith(messageStart), qPrintable(*failure));
    QVERIFY2(failure->contains(names), qPrintable(*failure));
    QVERIFY2(!failure->contains(tmp.path()), "a message names the file, not its full path");
    QCOMPARE(QDir(tmp.path()).entryList(), before);
    if (setup == QLatin1String("folder as entry"))
        QVERIFY(QFileInfo(configHome + QStringLiteral("/autostart/velmora.desktop")).isDir());
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "test_autostart.moc"
