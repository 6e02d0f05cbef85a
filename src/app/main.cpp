#include "mainwin/form1.h"
#include "platform/settings.h"
#include "store/watchliststore.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Settings are checked before any window system is touched, so a bad value is reported on
    // the terminal and nothing opens.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const QString appDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(
        QLatin1Char('/'), 0, -2);
    const QString userDataDir =
        velmora::IsInstalledBuild()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                  QStringLiteral("/velmora")
            : QString();
    const auto outcome =
        velmora::ReadSettings(args, QProcessEnvironment::systemEnvironment(), appDir, userDataDir);
    if (!outcome.settings) {
        std::fprintf(stderr, "velmora: %s\n", qUtf8Printable(outcome.error));
        return 2;
    }
    velmora::AppSettings settings = *outcome.settings;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));

    velmora::WatchListFiles files(settings.dataDir.toStdString());
    velmora::Form1 form(settings, files);
    form.load();
    form.show();
    return app.exec();
}
