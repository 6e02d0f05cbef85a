#include "platform/commandline.h"
#include "platform/settings.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void read_data();
    void read();
    void installedBuildUsesUserDataDir();
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

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
