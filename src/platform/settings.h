#pragma once

#include "platform/userconfig.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QProcessEnvironment;

namespace velmora {
struct CommandLine;
}

namespace velmora {

// The public pages asked when nothing else is said.
inline constexpr char kTencentBase[] = "https://qt.gtimg.cn";
inline constexpr char kSinaBase[] = "https://hq.sinajs.cn";
inline constexpr char kChartImageBase[] = "https://image.sinajs.cn";

// Where the program keeps its files, which hosts it talks to, and what the user set. Values
// given for this run (--demo, VELMORA_*) override the settings file and are never written to it.
struct AppSettings
{
    QString dataDir;
    bool dataDirChosen = false; // by --data-dir or VELMORA_DATA_DIR rather than by default
    QString userSettingsPath;   // $XDG_CONFIG_HOME/velmora/velmora.conf
    UserSettings user;          // what this run uses: the file's, with this run's overrides
    QString userSettingsProblems; // said once at start
    QUrl quoteBase; // the custom service: scheme, host, optional port; no trailing slash
    QUrl chartBase;
    QUrl siteBase;
    QUrl tencentBase{QString::fromLatin1(kTencentBase)};
    QUrl sinaBase{QString::fromLatin1(kSinaBase)};
    QUrl chartImageBase{QString::fromLatin1(kChartImageBase)};
    bool demo = false; // the built-in demo quote service answers the bases

    // Joins a base and a path such as "/gonggao.htm" (the path is taken as already encoded).
    static QUrl join(const QUrl &base, const QString &pathAndQuery);
    QString siteHost() const { return siteBase.host(); }
    // The arguments a start at login needs to open the same list: the data directory when it was
    // chosen, since a login start sees neither this command line nor this shell's variables.
    QStringList loginArguments() const;
};

struct SettingsOutcome
{
    std::optional<AppSettings> settings;
    QString error; // for the terminal, when settings is empty
};

// Reads what the command line chose (--data-dir, --demo), the settings file, and the VELMORA_*
// variables from env. appDir is the executable's folder, the default data directory of a build
// run from its own folder; userDataDir is used instead when the program was installed.
SettingsOutcome ReadSettings(const CommandLine &line, const QProcessEnvironment &env,
                             const QString &appDir, const QString &userDataDir = {});

// True for an installed program (package, cmake --install), false for a build run from its own
// folder.
bool IsInstalledBuild();

} // namespace velmora
