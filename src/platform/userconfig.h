#pragma once

#include <QString>
#include <QUrl>

#include <optional>

class QProcessEnvironment;

namespace velmora {

// Where quotes come from: the per-row service at a base of the user's ("custom"), the
// two public batch quote pages ("tencent", "sina"), the first of them with the second when it
// fails ("auto"), or the built-in demo service ("demo").
enum class QuoteSourceKind { Custom, Tencent, Sina, Auto, Demo };

// "custom", "tencent", ... and back; nullopt for a word that names no source.
QString SourceWord(QuoteSourceKind kind);
std::optional<QuoteSourceKind> SourceFromWord(const QString &word);
// As the settings window lists them: 自定义服务, 腾讯, 新浪, 自动, 演示.
QString SourceCaption(QuoteSourceKind kind);
// Where the quotes come from, as a window's caption names it: 腾讯行情, 新浪行情, 自动, 演示, or
// the custom service's host.
QString SourceTitle(QuoteSourceKind kind, const QUrl &customBase);

// What the tray icon shows drawn into it: the first row's day change ("first"), the holdings'
// day profit in percent ("total"), or nothing but the program's icon ("none").
enum class TrayShow { First, Total, None };

// "first", "total", "none" and back; nullopt for a word that names none.
QString TrayShowWord(TrayShow show);
std::optional<TrayShow> TrayShowFromWord(const QString &word);
// As the settings window lists them: 第一行涨跌幅, 持仓当日盈亏, 不显示.
QString TrayShowCaption(TrayShow show);

// What the user sets in the settings window, kept in $XDG_CONFIG_HOME/velmora/velmora.conf.
struct UserSettings
{
    static constexpr int kMinIntervalSeconds = 3;
    static constexpr int kMaxIntervalSeconds = 60;
    static constexpr double kMaxDeadBandPercent = 5;
    static constexpr double kMaxChangeStepPercent = 20;

    QuoteSourceKind source = QuoteSourceKind::Demo;
    QUrl customBase; // the custom service: scheme, host, optional port
    int intervalSeconds = 8;
    bool slowDownOutsideHours = true;
    bool notifications = true;
    bool sound = true;
    double deadBandPercent = 0.5;  // how far back inside a threshold re-arms its alert
    double changeStepPercent = 0;  // alerts at each multiple of the day's change; 0: none
    bool hideAmounts = false; // the holdings' amounts shown as ***
    bool trend = true;        // the 走势 column
    TrayShow trayShow = TrayShow::First;
    QString discreetHotkey = QStringLiteral("Ctrl+Alt+H"); // as HotkeyText writes it
    bool discreetAtStart = false;

    bool operator==(const UserSettings &) const = default;
};

// What goes into the file after the settings window changed before into after: the file's own
// values (saved), with every value the user changed taken over. A value given for this run
// alone (an environment variable, --demo) that the user left as it was stays out of the file.
UserSettings SettingsToSave(const UserSettings &saved, const UserSettings &before,
                            const UserSettings &after);

// Its defaults: a build run from its own folder shows the demo, an installed one starts on auto.
UserSettings DefaultUserSettings();

// $XDG_CONFIG_HOME (an absolute path), else ~/.config.
QString ConfigHome(const QProcessEnvironment &env);
QString UserSettingsPath(const QProcessEnvironment &env);

struct UserSettingsRead
{
    UserSettings settings;
    // One message for every value that was not understood (each fell back to its default);
    // empty when the file was fine or absent.
    QString problems;
};
UserSettingsRead ReadUserSettings(const QString &path);

// Writes beside the file and renames it over, so a failed save keeps the old file. The message
// says which file and why, in Chinese. Every text is written quoted, so what is saved reads back
// the same (a comma or a semicolon in an address included).
std::optional<QString> SaveUserSettings(const QString &path, const UserSettings &settings);

// Saves what the settings window changed (before into after) over the file as it is now, so
// another program's save since this one started is kept: only the changed values are replaced.
// Nothing is written when they already stand in the file.
std::optional<QString> SaveSettingsChange(const QString &path, const UserSettings &before,
                                          const UserSettings &after);

// An http or https address with a host, no query, fragment or user; the path's trailing slashes
// dropped. nullopt for anything else.
std::optional<QUrl> ParseServiceBase(const QString &text);

} // namespace velmora
