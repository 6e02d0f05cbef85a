#include "app/application.h"
#include "app/listcommand.h"
#include "platform/commandline.h"
#include "platform/fonts.h"
#include "platform/settings.h"
#include "platform/singleinstance.h"
#include "platform/translations.h"
#include "platform/xwayland.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The command line and the settings are read before any window system is touched, so a bad
    // value is reported on the terminal and nothing opens.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const velmora::CommandLine line = velmora::ParseCommandLine(arguments);
    switch (line.action) {
    case velmora::CommandLine::Action::Help:
    case velmora::CommandLine::Action::Version:
        std::fputs(qUtf8Printable(line.text), stdout);
        return 0;
    case velmora::CommandLine::Action::Refuse:
        std::fprintf(stderr, "velmora: %s\n", qUtf8Printable(line.text));
        return 2;
    case velmora::CommandLine::Action::Run:
        break;
    }
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString appDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(
        QLatin1Char('/'), 0, -2);
    const QString userDataDir =
        velmora::IsInstalledBuild()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                  QStringLiteral("/velmora")
            : QString();
    const auto outcome = velmora::ReadSettings(line, environment, appDir, userDataDir);
    if (!outcome.settings) {
        std::fprintf(stderr, "velmora: %s\n", qUtf8Printable(outcome.error));
        return 2;
    }
    if (line.listVerb) {
        // For scripts: no window, no display needed.
        QCoreApplication core(argc, argv);
        return velmora::RunListCommand(*outcome.settings, line);
    }

    // Docking places the window itself, which only X11 allows: under Wayland, use XWayland.
    if (velmora::PreferXWayland(environment))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    velmora::InstallChineseTranslations();
    // The windows were laid out for the 9-point Chinese system face: with it, captions keep to
    // their designed widths.
    QApplication::setFont(velmora::SongTiFont(velmora::kDefaultPointSize));
    // The program lives in the tray: closing the add dialog, the alert window or the chart
    // viewer while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // One program per data folder: a second start brings the running one to the front.
    velmora::SingleInstance instance(outcome.settings->dataDir);
    if (const auto claim = instance.claim(); claim != velmora::SingleInstance::Claim::First)
        return claim == velmora::SingleInstance::Claim::HandedOver ? 0 : 1;

    velmora::Application app(*outcome.settings);
    if (const auto failure = app.start()) {
        std::fprintf(stderr, "velmora: %s\n", qUtf8Printable(*failure));
        return 1;
    }
    QObject::connect(&instance, &velmora::SingleInstance::activationRequested, &app.mainWindow(),
                     &velmora::MainWindow::bringToFront);
    instance.setCommandHandler(
        [&app](velmora::ListVerb verb, const QString &path) { return app.runCommand(verb, path); });
    return qapp.exec();
}
