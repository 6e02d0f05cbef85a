// velmora-chart: the chart viewer llq in a process of its own. Started by velmora with
// --server NAME --domain DOMAIN; prints "ready" once it listens on the local socket NAME.
#include "chartviewer/commandserver.h"
#include "chartviewer/viewerwindow.h"
#include "platform/translations.h"

#include <QApplication>
#include <QDateTime>
#include <QLoggingCategory>

#include <cstdio>
#include <cstring>
#include <utility>

int main(int argc, char *argv[])
{
    QString server;
    QString domain;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--server") == 0)
            server = QString::fromLocal8Bit(argv[i + 1]);
        else if (std::strcmp(argv[i], "--domain") == 0)
            domain = QString::fromLocal8Bit(argv[i + 1]);
    }
    if (server.isEmpty()) {
        std::fprintf(stderr, "velmora-chart: usage: velmora-chart --server NAME --domain DOMAIN\n");
        return 2;
    }

    // The engine describes its set-up on every start; the program's terminal has no use for it
    // (QT_LOGGING_RULES still brings it back).
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.webenginecontext.debug=false\nqt.webenginecontext.info=false"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora-chart"));
    // The page's own menu (后退, 前进, 重新加载 ...) in Chinese, like every text of the program.
    velmora::InstallChineseTranslations({QStringLiteral("qtbase"), QStringLiteral("qtwebengine")});

    velmora::ViewerWindow window(domain);
    velmora::CommandServer commands;
    if (!commands.listen(server)) {
        std::fprintf(stderr, "velmora-chart: cannot listen on %s: %s\n", qUtf8Printable(server),
                     qUtf8Printable(commands.errorString()));
        return 1;
    }
    // Benchmarks time the page load from outside.
    const bool trace = qEnvironmentVariableIsSet("VELMORA_CHART_TRACE");

    QObject::connect(&commands, &velmora::CommandServer::showRequested, &window,
                     &velmora::ViewerWindow::showViewer);
    // Hidden while the program is discreet, and back afterwards only when it was showing.
    bool showingBeforeDiscreet = false;
    QObject::connect(&commands, &velmora::CommandServer::discreetRequested, &window,
                     [&window, &showingBeforeDiscreet](bool discreet) {
                         if (discreet) {
                             showingBeforeDiscreet = showingBeforeDiscreet || window.isVisible();
                             window.hide();
                         } else if (std::exchange(showingBeforeDiscreet, false)) {
                             window.show();
                         }
                     });
    QObject::connect(&commands, &velmora::CommandServer::navigateRequested, &window,
                     &velmora::ViewerWindow::navigate);
    QObject::connect(&window, &velmora::ViewerWindow::loadFinished, &commands,
                     [&commands, trace](const QUrl &url, bool ok) {
                         commands.reportLoad(url, ok);
                         if (trace) {
                             std::fprintf(stderr, "velmora-chart: %s %lld %s\n",
                                          ok ? "loaded" : "failed",
                                          static_cast<long long>(QDateTime::currentMSecsSinceEpoch()),
                                          url.toEncoded().constData());
                         }
                     });
    // Closing the window ends the viewer; the program hears of it before the engine is down.
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &commands,
                     &velmora::CommandServer::hangUp);
    QObject::connect(&commands, &velmora::CommandServer::peerLost, &app, &QApplication::quit);

    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
