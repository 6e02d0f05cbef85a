#include "platform/settings.h"

#include "platform/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace velmora {

namespace {

std::optional<QUrl> parseBase(const QString &text)
{
    QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") &&
                           url.scheme() != QLatin1String("https")))
        return std::nullopt;
    if (url.host().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return std::nullopt;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

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
#ifdef VELMORA_INSTALLED_BUILD
    return true;
#else
    return false;
#endif
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
    s.demo = line.demo;
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

    const struct
    {
        const char *name;
        const char *builtIn;
        QUrl *target;
    } bases[] = {{"VELMORA_QUOTE_BASE", VELMORA_DEFAULT_QUOTE_BASE, &s.quoteBase},
                 {"VELMORA_CHART_BASE", VELMORA_DEFAULT_CHART_BASE, &s.chartBase},
                 {"VELMORA_SITE_BASE", VELMORA_DEFAULT_SITE_BASE, &s.siteBase}};
    for (const auto &base : bases) {
        const QString text = valueOf(env, base.name, base.builtIn);
        if (text.isEmpty())
            continue;
        const auto url = parseBase(text);
        if (!url) {
            out.error = QStringLiteral("%1 不是有效的 http 地址：%2")
                            .arg(QString::fromLatin1(base.name), text);
            return out;
        }
        *base.target = *url;
    }
    // Without a quote service there is nothing real to show: use the built-in demo service.
    if (s.quoteBase.isEmpty())
        s.demo = true;
    if (s.chartBase.isEmpty())
        s.chartBase = s.quoteBase;
    if (s.siteBase.isEmpty())
        s.siteBase = s.quoteBase;
    out.settings = s;
    return out;
}

} // namespace velmora
