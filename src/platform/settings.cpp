#include "platform/settings.h"

#include "platform/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace velmora {

namespace {

QString valueOf(const QProcessEnvironment &env, const char *name, const char *builtIn)
{
    const QString fromEnv = env.value(QString::fromLatin1(name));
    return fromEnv.isEmpty() ? QString::fromUtf8(builtIn) : fromEnv;
}

} // namespace

#ifndef VELMORA_DEFAULT_QUOTE_BASE
#define VELMORA_DEFAULT_QUOTE_BASE ""
#define VELMORA_DEFAULT_CHART_BASE ""
#define VELMORA_DEFAULT_SITE_BASE ""
#endif

bool IsInstalledBuild()
{
    // A build run from its own folder lies inside a CMake build tree, whose top folder holds
    // CMakeCache.txt; an installed or packaged copy of the same program does not. Read at run
    // time, so one build serves both.
    static const bool installed = [] {
        QDir dir = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).dir();
        do {
            if (dir.exists(QStringLiteral("CMakeCache.txt")))
                return false;
        } while (dir.cdUp());
        return true;
    }();
    return installed;
}

QUrl AppSettings::join(const QUrl &base, const QString &pathAndQuery)
{
    return QUrl(base.toString(QUrl::FullyEncoded) + pathAndQuery, QUrl::TolerantMode);
}

QStringList AppSettings::loginArguments() const
{
    if (!dataDirChosen)
        return {};
    return {QStringLiteral("--data-dir"), dataDir};
}

SettingsOutcome ReadSettings(const CommandLine &line, const QProcessEnvironment &env,
                             const QString &appDir, const QString &userDataDir)
{
    SettingsOutcome out;
    AppSettings s;
    QString dataDir = line.dataDir.isEmpty() ? env.value(QStringLiteral("VELMORA_DATA_DIR"))
                                             : line.dataDir;
    const bool dataDirGiven = !dataDir.isEmpty();
    if (!dataDirGiven)
        dataDir = userDataDir.isEmpty() ? appDir : userDataDir;
    if (dataDirGiven || userDataDir.isEmpty()) {
        const QFileInfo info(dataDir);
        if (!info.exists() || !info.isDir()) {
            out.error = QStringLiteral("数据文件夹不存在：%1").arg(dataDir);
            return out;
        }
    } else if (!QDir().mkpath(dataDir)) {
        out.error = QStringLiteral("无法创建数据文件夹：%1").arg(dataDir);
        return out;
    }
    s.dataDir = QFileInfo(dataDir).absoluteFilePath();
    s.dataDirChosen = dataDirGiven;

    s.userSettingsPath = UserSettingsPath(env);
    const UserSettingsRead read = ReadUserSettings(s.userSettingsPath);
    s.user = read.settings;
    s.userSettingsProblems = read.problems;

    QUrl builtInQuoteBase;
    const struct
    {
        const char *name;
        const char *builtIn;
        QUrl *target;
    } bases[] = {{"VELMORA_QUOTE_BASE", VELMORA_DEFAULT_QUOTE_BASE, &builtInQuoteBase},
                 {"VELMORA_CHART_BASE", VELMORA_DEFAULT_CHART_BASE, &s.chartBase},
                 {"VELMORA_SITE_BASE", VELMORA_DEFAULT_SITE_BASE, &s.siteBase},
                 {"VELMORA_TENCENT_BASE", kTencentBase, &s.tencentBase},
                 {"VELMORA_SINA_BASE", kSinaBase, &s.sinaBase},
                 {"VELMORA_CHART_IMAGE_BASE", kChartImageBase, &s.chartImageBase}};
    for (const auto &base : bases) {
        const QString text = valueOf(env, base.name, base.builtIn);
        if (text.isEmpty())
            continue;
        const auto url = ParseServiceBase(text);
        if (!url) {
            out.error = QStringLiteral("%1 不是有效的 http 地址：%2")
                            .arg(QString::fromLatin1(base.name), text);
            return out;
        }
        *base.target = *url;
    }

    // This run's overrides: the variables, then --demo.
    const QString sourceWord = env.value(QStringLiteral("VELMORA_SOURCE"));
    const bool quoteBaseGiven = !env.value(QStringLiteral("VELMORA_QUOTE_BASE")).isEmpty();
    if (!sourceWord.isEmpty()) {
        const auto source = SourceFromWord(sourceWord);
        if (!source) {
            out.error = QStringLiteral("VELMORA_SOURCE 不是可用的行情来源：%1（可用：custom、tencent、"
                                       "sina、auto、demo）")
                            .arg(sourceWord);
            return out;
        }
        s.user.source = *source;
    } else if (quoteBaseGiven) {
        s.user.source = QuoteSourceKind::Custom;
    }
    if (quoteBaseGiven || s.user.customBase.isEmpty())
        s.user.customBase = builtInQuoteBase.isEmpty() ? s.user.customBase : builtInQuoteBase;
    if (line.demo)
        s.user.source = QuoteSourceKind::Demo;
    // Without an address the custom service cannot be asked: the built-in demo answers.
    if (s.user.source == QuoteSourceKind::Custom && s.user.customBase.isEmpty())
        s.user.source = QuoteSourceKind::Demo;

    s.demo = s.user.source == QuoteSourceKind::Demo;
    s.quoteBase = s.user.customBase;
    if (s.chartBase.isEmpty())
        s.chartBase = s.quoteBase;
    if (s.siteBase.isEmpty())
        s.siteBase = s.quoteBase;
    out.settings = s;
    return out;
}

} // namespace velmora
