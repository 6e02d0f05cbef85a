#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QProcessEnvironment;

namespace velmora {

// Start at login ("开机启动", "取消开机启动"). Each call works out afresh where the running
// executable lies and how it is named; the program never reads the registration back.
class Autostart
{
public:
    virtual ~Autostart() = default;
    // Both return a short message for the user when they fail, nothing when they succeed.
    virtual std::optional<QString> registerAtLogin() = 0;
    virtual std::optional<QString> unregisterAtLogin() = 0;
};

// The XDG way: $XDG_CONFIG_HOME/autostart/<executable name>.desktop (default ~/.config).
// Registering again overwrites the entry; an executable renamed since gets a second entry.
// The entry starts the executable with the arguments given here (see loginArguments).
class XdgAutostart final : public Autostart
{
public:
    explicit XdgAutostart(QStringList arguments = {});

    std::optional<QString> registerAtLogin() override;
    std::optional<QString> unregisterAtLogin() override;

    static QString autostartDir(const QProcessEnvironment &env);
    static QString entryPath(const QString &executablePath, const QProcessEnvironment &env);
    static std::optional<QString> registerExecutable(const QString &executablePath,
                                                     const QStringList &arguments,
                                                     const QProcessEnvironment &env);
    static std::optional<QString> unregisterExecutable(const QString &executablePath,
                                                       const QProcessEnvironment &env);

private:
    QStringList m_arguments;
};

} // namespace velmora
