#include "demo/demoservice.h"
#include "mainwin/form1.h"
#include "mainwin/traycontroller.h"
#include "platform/fonts.h"
#include "platform/settings.h"
#include "platform/singleinstance.h"
#include "platform/xwayland.h"
#include "store/watchliststore.h"

#include <QApplication>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

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

    // Docking places the window itself, which only X11 allows: under Wayland, use XWayland.
    if (velmora::PreferXWayland(QProcessEnvironment::systemEnvironment()))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    // The windows were laid out for the 9-point Chinese system face: with it, captions keep to
    // their designed widths.
    QApplication::setFont(velmora::SongTiFont(velmora::kDefaultPointSize));
    // The program lives in the tray: closing the add dialog, the alert window or the chart
    // viewer while the main window is hidden must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // One program per data directory: a second start brings the running one to the front.
    velmora::SingleInstance instance(settings.dataDir);
    if (const auto claim = instance.claim(); claim != velmora::SingleInstance::Claim::First)
        return claim == velmora::SingleInstance::Claim::HandedOver ? 0 : 1;

    // Demo mode: the built-in quote service answers quotes, charts and the site alike.
    std::unique_ptr<velmora::DemoQuoteService> demoService;
    if (settings.demo) {
        demoService = std::make_unique<velmora::DemoQuoteService>();
        if (!demoService->start()) {
            std::fprintf(stderr, "velmora: %s\n", "无法启动内置演示行情服务（127.0.0.1）。");
            return 1;
        }
        settings.quoteBase = settings.chartBase = settings.siteBase = demoService->baseUrl();
    }

    velmora::WatchListFiles files(settings.dataDir.toStdString());
    velmora::Form1 form(settings, files);
    QObject::connect(&instance, &velmora::SingleInstance::activationRequested,
                     form.trayController(), &velmora::TrayController::bringToFront);
    form.load();
    form.show();
    return app.exec();
}
