#include "platform/commandline.h"
#include "platform/settings.h"
#include "platform/userconfig.h"
#include "support/tempdir.h"

#include <QDir>
#include <QFileInfo>

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using namespace velmora::testing;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void read_data();
    void read();
    void installedBuildUsesUserDataDir();
    void sourceForThisRun_data();
    void sourceForThisRun();
    void savedSafely();
    void onlyChangesAreSaved_data();
    void onlyChangesAreSaved();
    void awkwardAddressesReadBack_data();
    void awkwardAddressesReadBack();
    void anotherProgramsSaveIsKept();
};

void TestSettings::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("text"); // the start of what is printed
    const int run = int(CommandLine::Action::Run), help = int(CommandLine::Action::Help),
              version = int(CommandLine::Action::Version),
              refuse = int(CommandLine::Action::Refuse);
    QTest::newRow("nothing") << QStringList{} << run << "";
    QTest::newRow("--help") << QStringList{"--help"} << help << "用法：velmora [选项]";
    QTest::newRow("-h, with other options") << QStringList{"--demo", "-h"} << help << "用法：";
    QTest::newRow("--version") << QStringList{"--version"} << version << "velmora 0.1.0";
    QTest::newRow("unknown option") << QStringList{"--colour"} << refuse
                                    << "无法识别的参数：--colour";
    QTest::newRow("unknown short option") << QStringList{"-x"} << refuse << "无法识别的参数：-x";
    QTest::newRow("a word that is no option") << QStringList{"foo"} << refuse
                                              << "无法识别的参数：foo";
    QTest::newRow("--data-dir without folder")
        << QStringList{"--data-dir"} << refuse << "--data-dir 后面缺少文件夹。";
    QTest::newRow("--data-dir with an empty folder")
        << QStringList{"--data-dir="} << refuse << "--data-dir 后面缺少文件夹。";
    QTest::newRow("--import without a file") << QStringList{"--import="} << refuse
                                             << "--import 后面缺少文件。";
    QTest::newRow("--import and --export together")
        << QStringList{"--import", "a.csv", "--export", "b.csv"} << refuse
        << "--import 和 --export 不能同时使用。";
}

void TestSettings::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, text);
    const CommandLine line = ParseCommandLine(QStringList{"velmora"} + args);
    QCOMPARE(int(line.action), action);
    QCOMPARE(line.text.left(text.size()), text);
}

void TestSettings::read_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("env"); // NAME=value
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("dataDir"); // "@app", "@tmp" or empty for not checked
    QTest::addColumn<QString>("quote");
    QTest::addColumn<QString>("chart");
    QTest::addColumn<QString>("site");
    QTest::addColumn<bool>("demo");
    QTest::addColumn<bool>("chosen"); // a start at login must be told the data directory

    QTest::newRow("nothing configured: app folder, demo")
        << QStringList{} << QStringList{} << true << "@app" << "" << "" << "" << true << false;
    QTest::newRow("--demo with real bases still demo")
        << QStringList{"--demo"} << QStringList{"VELMORA_QUOTE_BASE=http://q.example"} << true
        << "@app" << "http://q.example" << "http://q.example" << "http://q.example" << true << false;
    QTest::newRow("three bases, trailing slash dropped")
        << QStringList{}
        << QStringList{"VELMORA_QUOTE_BASE=http://q.example:8080/", "VELMORA_CHART_BASE=https://c.example",
                       "VELMORA_SITE_BASE=http://s.example"}
        << true << "@app" << "http://q.example:8080" << "https://c.example" << "http://s.example"
        << false << false;
    QTest::newRow("--data-dir wins over the variable")
        << QStringList{"--data-dir", "@tmp"} << QStringList{"VELMORA_DATA_DIR=/nonexistent"}
        << true << "@tmp" << "" << "" << "" << true << true;
    QTest::newRow("variable data dir") << QStringList{} << QStringList{"VELMORA_DATA_DIR=@tmp"}
                                       << true << "@tmp" << "" << "" << "" << true << true;
    QTest::newRow("missing data dir") << QStringList{"--data-dir", "/nonexistent/velmora"}
                                      << QStringList{} << false << "" << "" << "" << "" << false << false;
    QTest::newRow("--data-dir=DIR") << QStringList{"--data-dir=@tmp"} << QStringList{} << true
                                    << "@tmp" << "" << "" << "" << true << true;
    QTest::newRow("base not http") << QStringList{} << QStringList{"VELMORA_QUOTE_BASE=ftp://q.example"}
                                   << false << "" << "" << "" << "" << false << false;
    QTest::newRow("base without host") << QStringList{} << QStringList{"VELMORA_SITE_BASE=http://"}
                                       << false << "" << "" << "" << "" << false << false;
    QTest::newRow("base with a query") << QStringList{}
                                       << QStringList{"VELMORA_CHART_BASE=http://c.example/?x=1"}
                                       << false << "" << "" << "" << "" << false << false;
    QTest::newRow("base that is not a url") << QStringList{} << QStringList{"VELMORA_QUOTE_BASE=q example"}
                                            << false << "" << "" << "" << "" << false << false;
}

void TestSettings::read()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, env);
    QFETCH(bool, ok);
    QFETCH(QString, dataDir);
    QFETCH(QString, quote);
    QFETCH(QString, chart);
    QFETCH(QString, site);
    QFETCH(bool, demo);
    QFETCH(bool, chosen);
    QTemporaryDir app, tmp;
    auto resolve = [&](QString text) {
        return text.replace(QStringLiteral("@app"), app.path()).replace(QStringLiteral("@tmp"), tmp.path());
    };
    QProcessEnvironment environment;
    environment.insert("XDG_CONFIG_HOME", tmp.path()); // no settings file of the machine's
    for (const QString &pair : env)
        environment.insert(pair.section(QLatin1Char('='), 0, 0), resolve(pair.section(QLatin1Char('='), 1)));
    for (QString &arg : args)
        arg = resolve(arg);

    const auto outcome =
        ReadSettings(ParseCommandLine(QStringList{"velmora"} + args), environment, app.path());
    QCOMPARE(outcome.settings.has_value(), ok);
    if (!ok) {
        QVERIFY(!outcome.error.isEmpty());
        return;
    }
    QCOMPARE(outcome.settings->dataDir, resolve(dataDir));
    QCOMPARE(outcome.settings->quoteBase.toString(), quote);
    QCOMPARE(outcome.settings->chartBase.toString(), chart);
    QCOMPARE(outcome.settings->siteBase.toString(), site);
    QCOMPARE(outcome.settings->demo, demo);
    const QStringList login =
        chosen ? QStringList{QStringLiteral("--data-dir"), resolve(dataDir)} : QStringList{};
    QCOMPARE(outcome.settings->loginArguments(), login);
}

void TestSettings::installedBuildUsesUserDataDir()
{
    QTemporaryDir app, home;
    const QString userDir = home.path() + QStringLiteral("/velmora");
    const auto outcome = ReadSettings(CommandLine{}, QProcessEnvironment(), app.path(), userDir);
    QVERIFY(outcome.settings);
    QCOMPARE(outcome.settings->dataDir, userDir);
    QVERIFY(QFileInfo(userDir).isDir());
    QCOMPARE(outcome.settings->loginArguments(), QStringList{});
}

void TestSettings::sourceForThisRun_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<QByteArray>("file"); // velmora.conf; empty: none
    QTest::addColumn<QString>("source");  // "error" when the run is refused
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("problems"); // the start of the message about the file

    QTest::newRow("nothing: the demo for a build run from its folder")
        << QStringList{} << QStringList{} << QByteArray() << "demo" << 8 << "";
    QTest::newRow("the file") << QStringList{} << QStringList{}
                              << QByteArray("[quotes]\nsource=auto\ninterval=15\n") << "auto" << 15 << "";
    QTest::newRow("the variable over the file")
        << QStringList{} << QStringList{"VELMORA_SOURCE=sina"}
        << QByteArray("[quotes]\nsource=auto\n") << "sina" << 8 << "";
    QTest::newRow("a quote base alone: the custom service")
        << QStringList{} << QStringList{"VELMORA_QUOTE_BASE=http://q.example"} << QByteArray()
        << "custom" << 8 << "";
    QTest::newRow("a quote base and a source: the source")
        << QStringList{} << QStringList{"VELMORA_QUOTE_BASE=http://q.example", "VELMORA_SOURCE=tencent"}
        << QByteArray() << "tencent" << 8 << "";
    QTest::newRow("--demo over everything")
        << QStringList{"--demo"} << QStringList{"VELMORA_SOURCE=tencent"} << QByteArray() << "demo" << 8 << "";
    QTest::newRow("unknown source word refused")
        << QStringList{} << QStringList{"VELMORA_SOURCE=yahoo"} << QByteArray() << "error" << 8 << "";
    QTest::newRow("public page base that is not http refused")
        << QStringList{} << QStringList{"VELMORA_TENCENT_BASE=ftp://x"} << QByteArray() << "error" << 8 << "";
    QTest::newRow("bad values fall back to their defaults, told once")
        << QStringList{} << QStringList{}
        << QByteArray("[quotes]\nsource=yahoo\ninterval=2\n[alerts]\nsound=loud\n") << "demo" << 8
        << "设置文件 velmora.conf 中的行情来源、刷新间隔、提示音无法识别";
    QTest::newRow("the custom service without an address")
        << QStringList{} << QStringList{} << QByteArray("[quotes]\nsource=custom\n") << "demo" << 8
        << "设置文件 velmora.conf 中的自定义服务地址无法识别";
}

void TestSettings::sourceForThisRun()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, env);
    QFETCH(QByteArray, file);
    QFETCH(QString, source);
    QFETCH(int, interval);
    QFETCH(QString, problems);
    QTemporaryDir app, config;
    QProcessEnvironment environment;
    environment.insert("XDG_CONFIG_HOME", config.path());
    for (const QString &pair : env)
        environment.insert(pair.section('=', 0, 0), pair.section('=', 1));
    const QString path = config.filePath("velmora/velmora.conf");
    if (!file.isEmpty()) {
        QDir().mkpath(config.filePath("velmora"));
        writeFile(path.toStdString(), file.toStdString());
    }
    const auto outcome = ReadSettings(ParseCommandLine(QStringList{"velmora"} + args), environment,
                                      app.path());
    if (source == "error") {
        QVERIFY(!outcome.settings);
        QVERIFY(!outcome.error.isEmpty());
        return;
    }
    QVERIFY(outcome.settings);
    QCOMPARE(SourceWord(outcome.settings->user.source), source);
    QCOMPARE(outcome.settings->user.intervalSeconds, interval);
    QCOMPARE(outcome.settings->demo, source == "demo");
    QCOMPARE(outcome.settings->userSettingsPath, path);
    QCOMPARE(outcome.settings->userSettingsProblems.left(problems.size()), problems);
    // What this run was told is never written to the file.
    QCOMPARE(QFileInfo::exists(path), !file.isEmpty());
}

// A save lands whole or not at all: the old file stays when the new one cannot be written.
void TestSettings::savedSafely()
{
    QTemporaryDir config;
    const QString path = config.filePath("velmora/velmora.conf");
    UserSettings settings;
    settings.source = QuoteSourceKind::Custom;
    settings.customBase = QUrl("http://q.example:8080");
    settings.intervalSeconds = 30;
    settings.sound = false;
    settings.deadBandPercent = 1.5;
    settings.changeStepPercent = 3;
    settings.trend = false;
    settings.trayShow = TrayShow::Total;
    settings.discreetHotkey = "Ctrl+Shift+F9";
    settings.discreetAtStart = true;
    QVERIFY(!SaveUserSettings(path, settings));
    QCOMPARE(ReadUserSettings(path).settings, settings);
    QVERIFY(ReadUserSettings(path).problems.isEmpty());
    // Typed by hand: read as the program writes it, or refused by name.
    writeFile(path.toStdString(), "[tray]\nshow=total\n[discreet]\nhotkey=ctrl + alt + j\n");
    QCOMPARE(ReadUserSettings(path).settings.discreetHotkey, "Ctrl+Alt+J");
    writeFile(path.toStdString(), "[tray]\nshow=clock\n[discreet]\nhotkey=H\n[view]\ntrend=maybe\n"
                                  "[alerts]\ndeadBand=6\nchangeStep=-1\n");
    const UserSettingsRead bad = ReadUserSettings(path);
    QCOMPARE(bad.settings, DefaultUserSettings());
    QVERIFY2(bad.problems.contains("显示走势、预警回差、涨跌幅提醒、托盘显示、隐身快捷键"), qPrintable(bad.problems));

    const std::string before = readFile(path.toStdString());
    QDir().mkpath(path + ".new/inside"); // the new content cannot be written
    settings.intervalSeconds = 5;
    const auto failure = SaveUserSettings(path, settings);
    QVERIFY(failure);
    QVERIFY2(failure->startsWith("无法保存设置文件 velmora.conf（是一个文件夹而不是文件）"), qPrintable(*failure));
    QCOMPARE(readFile(path.toStdString()), before);
}

// What the settings window changed goes into the file; a value this run got from elsewhere and
// the user left alone does not, whichever setting it is.
void TestSettings::onlyChangesAreSaved_data()
{
    QTest::addColumn<QString>("changed"); // the one setting the window changes
    for (const char *name : {"source", "customBase", "interval", "slowDown", "notifications", "sound",
                             "hideAmounts", "trend", "trayShow", "hotkey", "discreetAtStart", "deadBand",
                             "changeStep"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestSettings::onlyChangesAreSaved()
{
    QFETCH(QString, changed);
    const UserSettings saved; // what the file holds
    // This run: every value but the one the window changes came from elsewhere.
    UserSettings before = saved;
    before.source = QuoteSourceKind::Tencent;
    before.customBase = QUrl("http://run.example");
    before.intervalSeconds = 20;
    before.slowDownOutsideHours = !saved.slowDownOutsideHours;
    before.notifications = !saved.notifications;
    before.sound = !saved.sound;
    before.hideAmounts = !saved.hideAmounts;
    before.trend = !saved.trend;
    before.deadBandPercent = 2;
    before.changeStepPercent = 5;
    before.trayShow = TrayShow::None;
    before.discreetHotkey = "Ctrl+F1";
    before.discreetAtStart = !saved.discreetAtStart;
    UserSettings after = before;
    UserSettings expected = saved;
    auto change = [&](auto member, auto value) {
        before.*member = saved.*member;
        after.*member = expected.*member = value;
    };
    if (changed == "source")
        change(&UserSettings::source, QuoteSourceKind::Sina);
    else if (changed == "customBase")
        change(&UserSettings::customBase, QUrl("http://typed.example"));
    else if (changed == "interval")
        change(&UserSettings::intervalSeconds, 45);
    else if (changed == "slowDown")
        change(&UserSettings::slowDownOutsideHours, !saved.slowDownOutsideHours);
    else if (changed == "notifications")
        change(&UserSettings::notifications, !saved.notifications);
    else if (changed == "sound")
        change(&UserSettings::sound, !saved.sound);
    else if (changed == "hideAmounts")
        change(&UserSettings::hideAmounts, !saved.hideAmounts);
    else if (changed == "trend")
        change(&UserSettings::trend, !saved.trend);
    else if (changed == "trayShow")
        change(&UserSettings::trayShow, TrayShow::Total);
    else if (changed == "hotkey")
        change(&UserSettings::discreetHotkey, QString("Ctrl+Alt+K"));
    else if (changed == "discreetAtStart")
        change(&UserSettings::discreetAtStart, !saved.discreetAtStart);
    else if (changed == "deadBand")
        change(&UserSettings::deadBandPercent, 1.0);
    else
        change(&UserSettings::changeStepPercent, 3.0);
    QVERIFY(SettingsToSave(saved, before, after) == expected);
    QVERIFY(SettingsToSave(saved, before, before) == saved);
}

// What is saved reads back the same, whatever the address holds.
void TestSettings::awkwardAddressesReadBack_data()
{
    QTest::addColumn<QString>("address");
    for (const char *address : {"http://q.example/a,b", "http://q.example/q;v=1",
                                "http://q.example/a\\b", "http://q.example/\"quoted\"",
                                "http://q.example/a b", "https://q.example:8443/路径/价格",
                                "http://q.example/=,;#"})
        QTest::newRow(address) << QString::fromUtf8(address);
}

void TestSettings::awkwardAddressesReadBack()
{
    QFETCH(QString, address);
    const auto base = ParseServiceBase(address);
    if (!base)
        QSKIP("not an address the settings window takes");
    QTemporaryDir config;
    const QString path = config.filePath("velmora.conf");
    UserSettings settings;
    settings.source = QuoteSourceKind::Custom;
    settings.customBase = *base;
    QVERIFY(!SaveUserSettings(path, settings));
    const UserSettingsRead read = ReadUserSettings(path);
    QCOMPARE(read.problems, QString());
    QCOMPARE(read.settings.customBase, *base);
    QCOMPARE(read.settings.source, QuoteSourceKind::Custom);
}

// Two programs with their own settings windows: a save changes only what its window changed,
// over the file as it is now.
void TestSettings::anotherProgramsSaveIsKept()
{
    QTemporaryDir config;
    const QString path = config.filePath("velmora.conf");
    const UserSettings atStart; // what both programs read
    UserSettings other = atStart;
    other.intervalSeconds = 20;
    QVERIFY(!SaveSettingsChange(path, atStart, other)); // the other program's save
    UserSettings mine = atStart;
    mine.sound = false;
    QVERIFY(!SaveSettingsChange(path, atStart, mine));
    const UserSettings onDisk = ReadUserSettings(path).settings;
    QCOMPARE(onDisk.intervalSeconds, 20);
    QCOMPARE(onDisk.sound, false);
    // Nothing changed: nothing written.
    QFile::remove(path);
    QVERIFY(!SaveSettingsChange(path, mine, mine));
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
