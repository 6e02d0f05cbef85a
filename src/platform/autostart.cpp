#include "platform/autostart.h"

#include "core/desktopentry.h"
#include "core/filesystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace velmora {

namespace {

QString currentExecutable()
{
    return QCoreApplication::applicationFilePath();
}

QString reasonText(const SystemError &error)
{
    return QString::fromStdString(SystemErrorText(error));
}

} // namespace

QString XdgAutostart::autostartDir(const QProcessEnvironment &env)
{
    // A relative XDG_CONFIG_HOME is invalid by the base-directory rules and is ignored.
    QString configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() || QDir::isRelativePath(configHome)) {
        const QString home = env.value(QStringLiteral("HOME"), QDir::homePath());
        configHome = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(configHome + QStringLiteral("/autostart"));
}

QString XdgAutostart::entryPath(const QString &executablePath, const QProcessEnvironment &env)
{
    // Linux executables carry no extension, so the whole file name names the entry.
    return autostartDir(env) + QLatin1Char('/') + QFileInfo(executablePath).fileName() +
           QStringLiteral(".desktop");
}

XdgAutostart::XdgAutostart(QStringList arguments) : m_arguments(std::move(arguments)) {}

std::optional<QString> XdgAutostart::registerExecutable(const QString &executablePath,
                                                        const QStringList &arguments,
                                                        const QProcessEnvironment &env)
{
    const QString path = entryPath(executablePath, env);
    std::vector<std::string> args;
    for (const QString &argument : arguments)
        args.push_back(argument.toStdString());
    const auto text = AutostartEntryText(executablePath.toStdString(), args);
    if (!text) {
        // Say which part the entry cannot hold: the program's path or one of the arguments.
        for (const QString &argument : arguments) {
            if (!DesktopExecArgument(argument.toStdString())) {
                return QStringLiteral("无法设置开机启动：启动参数 %1 含有启动项无法记录的字符。")
                    .arg(argument);
            }
        }
        return QStringLiteral("无法设置开机启动：程序路径 %1 含有启动项无法记录的字符。")
            .arg(executablePath);
    }
    const QString dir = autostartDir(env);
    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(dir).toStdString(), ec);
    if (ec) {
        return QStringLiteral("无法设置开机启动：无法创建文件夹 %1（%2）。")
            .arg(QFileInfo(dir).fileName(), reasonText({ec.value(), ec.message()}));
    }
    // Written beside the entry and renamed over it, so an entry is never left half-written.
    StoreFileSystem &fs = StoreFileSystem::real();
    const std::filesystem::path entry = QFile::encodeName(path).toStdString();
    std::filesystem::path written = entry;
    written += ".new";
    SystemError cause;
    if (!fs.writeDurably(written, *text, &cause) || !fs.rename(written, entry, &cause)) {
        fs.remove(written, nullptr);
        return QStringLiteral("无法设置开机启动：无法写入 %1（%2）。")
            .arg(QFileInfo(path).fileName(), reasonText(cause));
    }
    return std::nullopt;
}

std::optional<QString> XdgAutostart::unregisterExecutable(const QString &executablePath,
                                                          const QProcessEnvironment &env)
{
    const QString path = entryPath(executablePath, env);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return QStringLiteral("无法取消开机启动：没有找到启动项 %1。").arg(info.fileName());
    SystemError cause;
    if (!StoreFileSystem::real().remove(QFile::encodeName(path).toStdString(), &cause)) {
        return QStringLiteral("无法取消开机启动：无法删除 %1（%2）。")
            .arg(info.fileName(), reasonText(cause));
    }
    return std::nullopt;
}

std::optional<QString> XdgAutostart::registerAtLogin()
{
    return registerExecutable(currentExecutable(), m_arguments,
                              QProcessEnvironment::systemEnvironment());
}

std::optional<QString> XdgAutostart::unregisterAtLogin()
{
    return unregisterExecutable(currentExecutable(), QProcessEnvironment::systemEnvironment());
}

} // namespace velmora
