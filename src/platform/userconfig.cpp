#include "platform/userconfig.h"

#include "core/filesystem.h"
#include "core/hotkey.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>
#include <QStringList>

#include <array>
#include <filesystem>
#include <system_error>
#include <tuple>

namespace velmora {

namespace {

struct SourceNames
{
    QuoteSourceKind kind;
    const char *word;
    const char *caption;
};

constexpr std::array<SourceNames, 5> kSources{{
    {QuoteSourceKind::Demo, "demo", "演示"},
    {QuoteSourceKind::Custom, "custom", "自定义服务"},
    {QuoteSourceKind::Tencent, "tencent", "腾讯"},
    {QuoteSourceKind::Sina, "sina", "新浪"},
    {QuoteSourceKind::Auto, "auto", "自动"},
}};

constexpr std::array<std::pair<const char *, const char *>, 3> kTrayShows{{
    {"first", "第一行涨跌幅"}, {"total", "持仓当日盈亏"}, {"none", "不显示"}}};

QString yesNo(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// A text as the INI reader takes it back whole: in quotes, with backslashes and quotes escaped,
// so a comma does not make it a list and a semicolon does not start a comment.
QString quoted(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    out.replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// A switch written by us, or by hand as people write them.
std::optional<bool> readSwitch(const QString &text)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("true") || word == QLatin1String("1") || word == QLatin1String("yes"))
        return true;
    if (word == QLatin1String("false") || word == QLatin1String("0") || word == QLatin1String("no"))
        return false;
    return std::nullopt;
}

// Every member of UserSettings, for the rules that go over all of them.
constexpr auto kEveryField = std::make_tuple(
    &UserSettings::source, &UserSettings::customBase, &UserSettings::intervalSeconds,
    &UserSettings::slowDownOutsideHours, &UserSettings::notifications, &UserSettings::sound,
    &UserSettings::deadBandPercent, &UserSettings::changeStepPercent, &UserSettings::hideAmounts, &UserSettings::trend, &UserSettings::trayShow,
    &UserSettings::discreetHotkey, &UserSettings::discreetAtStart);

// A member added to UserSettings stops this from compiling until it is in kEveryField too, so
// no setting can be left out of what is saved.
[[maybe_unused]] void everyFieldIsListed(const UserSettings &settings)
{
    const auto &[source, customBase, interval, slowDown, notifications, sound, deadBand, changeStep,
                 hideAmounts, trend, trayShow, hotkey, discreetAtStart] = settings;
    static_assert(std::tuple_size_v<decltype(kEveryField)> == 13);
    (void)source, (void)customBase, (void)interval, (void)slowDown, (void)notifications, (void)sound,
        (void)deadBand, (void)changeStep, (void)hideAmounts, (void)trend, (void)trayShow, (void)hotkey,
        (void)discreetAtStart;
}

} // namespace

UserSettings SettingsToSave(const UserSettings &saved, const UserSettings &before,
                            const UserSettings &after)
{
    UserSettings out = saved;
    std::apply(
        [&](auto... member) {
            ((before.*member != after.*member ? void(out.*member = after.*member) : void()), ...);
        },
        kEveryField);
    return out;
}

QString SourceWord(QuoteSourceKind kind)
{
    for (const auto &source : kSources) {
        if (source.kind == kind)
            return QString::fromLatin1(source.word);
    }
    return {};
}

std::optional<QuoteSourceKind> SourceFromWord(const QString &word)
{
    for (const auto &source : kSources) {
        if (word == QLatin1String(source.word))
            return source.kind;
    }
    return std::nullopt;
}

QString SourceCaption(QuoteSourceKind kind)
{
    for (const auto &source : kSources) {
        if (source.kind == kind)
            return QString::fromUtf8(source.caption);
    }
    return {};
}

QString TrayShowWord(TrayShow show)
{
    return QString::fromLatin1(kTrayShows[static_cast<std::size_t>(show)].first);
}

std::optional<TrayShow> TrayShowFromWord(const QString &word)
{
    for (std::size_t i = 0; i < kTrayShows.size(); ++i) {
        if (word == QLatin1String(kTrayShows[i].first))
            return static_cast<TrayShow>(i);
    }
    return std::nullopt;
}

QString TrayShowCaption(TrayShow show)
{
    return QString::fromUtf8(kTrayShows[static_cast<std::size_t>(show)].second);
}

QString SourceTitle(QuoteSourceKind kind, const QUrl &customBase)
{
    switch (kind) {
    case QuoteSourceKind::Tencent:
        return QStringLiteral("腾讯行情");
    case QuoteSourceKind::Sina:
        return QStringLiteral("新浪行情");
    case QuoteSourceKind::Custom:
        return customBase.host();
    case QuoteSourceKind::Auto:
    case QuoteSourceKind::Demo:
        break;
    }
    return SourceCaption(kind);
}

UserSettings DefaultUserSettings()
{
    UserSettings settings;
    settings.source = IsInstalledBuild() ? QuoteSourceKind::Auto : QuoteSourceKind::Demo;
    return settings;
}

QString ConfigHome(const QProcessEnvironment &env)
{
    // A relative XDG_CONFIG_HOME is invalid by the base-directory rules and is ignored.
    QString configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() || QDir::isRelativePath(configHome)) {
        const QString home = env.value(QStringLiteral("HOME"), QDir::homePath());
        configHome = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(configHome);
}

QString UserSettingsPath(const QProcessEnvironment &env)
{
    return ConfigHome(env) + QStringLiteral("/velmora/velmora.conf");
}

std::optional<QUrl> ParseServiceBase(const QString &text)
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

UserSettingsRead ReadUserSettings(const QString &path)
{
    UserSettingsRead read{DefaultUserSettings(), {}};
    if (!QFileInfo::exists(path))
        return read;
    const QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        read.problems = QStringLiteral("设置文件 %1 无法读取，本次使用默认设置。")
                            .arg(QFileInfo(path).fileName());
        return read;
    }
    QStringList bad;
    UserSettings &s = read.settings;
    auto text = [&file](const char *key) {
        return file.value(QString::fromLatin1(key)).toString();
    };
    auto has = [&file](const char *key) { return file.contains(QString::fromLatin1(key)); };

    if (has("quotes/source")) {
        if (const auto source = SourceFromWord(text("quotes/source").trimmed()))
            s.source = *source;
        else
            bad << QStringLiteral("行情来源");
    }
    if (has("quotes/customBase") && !text("quotes/customBase").trimmed().isEmpty()) {
        if (const auto base = ParseServiceBase(text("quotes/customBase")))
            s.customBase = *base;
        else
            bad << QStringLiteral("自定义服务地址");
    }
    if (s.source == QuoteSourceKind::Custom && s.customBase.isEmpty()) {
        s.source = DefaultUserSettings().source; // a service without an address cannot be asked
        bad << QStringLiteral("自定义服务地址");
    }
    if (has("quotes/interval")) {
        bool ok = false;
        const int seconds = text("quotes/interval").trimmed().toInt(&ok);
        if (ok && seconds >= UserSettings::kMinIntervalSeconds &&
            seconds <= UserSettings::kMaxIntervalSeconds)
            s.intervalSeconds = seconds;
        else
            bad << QStringLiteral("刷新间隔");
    }
    const struct
    {
        const char *key;
        bool UserSettings::*member;
        const char *name;
    } switches[] = {{"quotes/slowDownOutsideTradingHours", &UserSettings::slowDownOutsideHours,
                     "非交易时间放慢刷新"},
                    {"alerts/notifications", &UserSettings::notifications, "桌面通知"},
                    {"alerts/sound", &UserSettings::sound, "提示音"},
                    {"view/hideAmounts", &UserSettings::hideAmounts, "隐藏金额"},
                    {"view/trend", &UserSettings::trend, "显示走势"},
                    {"discreet/atStart", &UserSettings::discreetAtStart, "启动时隐身"}};
    for (const auto &item : switches) {
        if (!has(item.key))
            continue;
        if (const auto value = readSwitch(text(item.key)))
            s.*item.member = *value;
        else
            bad << QString::fromUtf8(item.name);
    }
    const struct
    {
        const char *key;
        double UserSettings::*member;
        double most;
        const char *name;
    } percents[] = {{"alerts/deadBand", &UserSettings::deadBandPercent, UserSettings::kMaxDeadBandPercent, "预警回差"},
                    {"alerts/changeStep", &UserSettings::changeStepPercent, UserSettings::kMaxChangeStepPercent,
                     "涨跌幅提醒"}};
    for (const auto &item : percents) {
        if (!has(item.key))
            continue;
        bool ok = false;
        const double value = text(item.key).trimmed().toDouble(&ok);
        if (ok && value >= 0 && value <= item.most)
            s.*item.member = value;
        else
            bad << QString::fromUtf8(item.name);
    }
    if (has("tray/show")) {
        if (const auto show = TrayShowFromWord(text("tray/show").trimmed()))
            s.trayShow = *show;
        else
            bad << QStringLiteral("托盘显示");
    }
    if (has("discreet/hotkey")) {
        if (const auto hotkey = ParseHotkey(text("discreet/hotkey").toStdString()))
            s.discreetHotkey = QString::fromStdString(HotkeyText(*hotkey));
        else
            bad << QStringLiteral("隐身快捷键");
    }
    bad.removeDuplicates();
    if (!bad.isEmpty()) {
        read.problems = QStringLiteral("设置文件 %1 中的%2无法识别，已改用默认值。")
                            .arg(QFileInfo(path).fileName(), bad.join(QStringLiteral("、")));
    }
    return read;
}

std::optional<QString> SaveSettingsChange(const QString &path, const UserSettings &before,
                                          const UserSettings &after)
{
    const UserSettings onDisk = ReadUserSettings(path).settings;
    const UserSettings merged = SettingsToSave(onDisk, before, after);
    if (merged == onDisk)
        return std::nullopt;
    return SaveUserSettings(path, merged);
}

std::optional<QString> SaveUserSettings(const QString &path, const UserSettings &settings)
{
    // Put together line by line: a value is never read again as a placeholder.
    const QString text = QStringList{
        QStringLiteral("[quotes]"),
        QStringLiteral("source=") + SourceWord(settings.source),
        QStringLiteral("customBase=") + quoted(settings.customBase.toString(QUrl::FullyEncoded)),
        QStringLiteral("interval=") + QString::number(settings.intervalSeconds),
        QStringLiteral("slowDownOutsideTradingHours=") + yesNo(settings.slowDownOutsideHours),
        QString(),
        QStringLiteral("[alerts]"),
        QStringLiteral("notifications=") + yesNo(settings.notifications),
        QStringLiteral("sound=") + yesNo(settings.sound),
        QStringLiteral("deadBand=") + QString::number(settings.deadBandPercent),
        QStringLiteral("changeStep=") + QString::number(settings.changeStepPercent),
        QString(),
        QStringLiteral("[view]"),
        QStringLiteral("hideAmounts=") + yesNo(settings.hideAmounts),
        QStringLiteral("trend=") + yesNo(settings.trend),
        QString(),
        QStringLiteral("[tray]"),
        QStringLiteral("show=") + TrayShowWord(settings.trayShow),
        QString(),
        QStringLiteral("[discreet]"),
        QStringLiteral("hotkey=") + quoted(settings.discreetHotkey),
        QStringLiteral("atStart=") + yesNo(settings.discreetAtStart),
        QString()}.join(QLatin1Char('\n'));
    const QString name = QFileInfo(path).fileName();
    auto failed = [&name](const SystemError &cause) {
        return QStringLiteral("无法保存设置文件 %1（%2），原来的设置文件没有改变。")
            .arg(name, QString::fromStdString(SystemErrorText(cause)));
    };
    const std::filesystem::path target = QFile::encodeName(path).toStdString();
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec)
        return failed({ec.value(), ec.message()});
    StoreFileSystem &fs = StoreFileSystem::real();
    std::filesystem::path written = target;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, text.toStdString(), &cause) ||
        !fs.rename(written, target, &cause)) {
        fs.remove(written, nullptr);
        return failed(cause);
    }
    return std::nullopt;
}

} // namespace velmora
