#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QProcessEnvironment;

namespace velmora {
struct CommandLine;
}

namespace velmora {

// Where the program keeps its files and which hosts it talks to.
struct AppSettings
{
    QString dataDir;
    bool dataDirChosen = false; // by --data-dir or VELMORA_DATA_DIR rather than by default
    QUrl quoteBase; // scheme, host, optional port; no trailing slash
    QUrl chartBase;
    QUrl siteBase;
    bool demo = false; // the built-in demo quote service answers all three bases

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

// Reads what the command line chose (--data-dir, --demo) and the VELMORA_* variables from env. appDir is the executable's folder, the default data directory of a build
// run from its own folder; userDataDir is used instead when the program was installed.
SettingsOutcome ReadSettings(const CommandLine &line, const QProcessEnvironment &env,
                             const QString &appDir, const QString &userDataDir = {});

// True for a build made for installation (package, cmake --install).
bool IsInstalledBuild();

} // namespace velmora
