// The quote refresh under load: N rows against the deliberately broken server with every fault
// mixed in, rows removed and added all the while, for S seconds. Prints the peak resident
// memory, the longest stall of the user-interface thread (the largest gap between two beats of
// a 1 ms timer) and the requests asked, answered and failed.
//
//   bench_load [--rows N] [--seconds S] [--tick-ms T] [--timeout-ms L] [--no-view]
//
// The server runs in a child process (this executable with --serve), so that its 5 MiB
// bodies count neither in our memory nor in our stalls.

#include "services/refreshload.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int kIdleMs = 5000;

// A line of /proc/self/status in KiB ("VmHWM", "VmRSS"), -1 when missing.
qint64 StatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QByteArray ArgumentAfter(const QStringList &arguments, const QString &name, const QByteArray &fallback)
{
    const qsizetype at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toUtf8() : fallback;
}

int IntArgument(const QStringList &arguments, const QString &name, int fallback)
{
    bool ok = false;
    const int value = ArgumentAfter(arguments, name, {}).toInt(&ok);
    return ok && value > 0 ? value : fallback;
}

// --serve: the broken server, until our standard input closes. Prints its port first, and its
// request count, peak and final resident memory last.
int Serve(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    LoadPlan plan;
    plan.codePool = IntArgument(arguments, QStringLiteral("--codes"), plan.rows);
    plan.dripMs = IntArgument(arguments, QStringLiteral("--drip-ms"), plan.dripMs);
    BrokenServer server;
    ConfigureServer(server, plan);
    if (!server.start()) {
        std::fprintf(stderr, "the broken server could not listen on 127.0.0.1\n");
        return 1;
    }
    // The server's request log keeps every request (and, per entry, the buffer it was read
    // into); nobody reads it here, so it is emptied every second and arrivals counted apart.
    qint64 arrived = 0;
    QObject::connect(&server, &BrokenServer::requestArrived, &server, [&arrived] { ++arrived; });
    QTimer forget;
    QObject::connect(&forget, &QTimer::timeout, &server, [&server] { server.clearLog(); });
    forget.start(1000);
    std::printf("port %d\n", server.baseUrl().port());
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) > 0)
            return;
        input.setEnabled(false);
        std::printf("arrived %lld\npeak %lld\nresident %lld\n", arrived,
                    StatusKiB("VmHWM"), StatusKiB("VmRSS"));
        std::fflush(stdout);
        app.quit();
    });
    return app.exec();
}

// The largest gap between two beats of a 1 ms timer on the thread it lives on.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_beat.setTimerType(Qt::PreciseTimer);
        m_beat.setInterval(1);
        QObject::connect(&m_beat, &QTimer::timeout, &m_beat, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 gap = now - m_last;
            m_last = now;
            if (gap > m_longest) {
                m_longest = gap;
                m_longestAt = now;
            }
            if (gap > 16'000'000)
                ++m_over16;
            if (gap > 50'000'000)
                ++m_over50;
            ++m_beats;
        });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_beat.start();
    }
    void stop() { m_beat.stop(); }
    double longestMs() const { return m_longest / 1e6; }
    double longestAtSeconds() const { return m_longestAt / 1e9; }
    qint64 beats() const { return m_beats; }
    qint64 over16() const { return m_over16; }
    qint64 over50() const { return m_over50; }

private:
    QTimer m_beat;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_longest = 0, m_longestAt = 0, m_beats = 0, m_over16 = 0, m_over50 = 0;
};

// Runs the event loop until the child has printed a line starting with prefix; its rest.
QByteArray AwaitLine(QProcess &child, const QByteArray &prefix)
{
    QByteArray found;
    QEventLoop loop;
    const auto look = [&] {
        while (found.isEmpty() && child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith(prefix)) {
                found = line.mid(prefix.size()).trimmed();
                loop.quit();
                return;
            }
        }
    };
    QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop, look);
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    look();
    if (found.isEmpty() && child.state() != QProcess::NotRunning)
        loop.exec();
    look();
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--serve")
            return Serve(argc, argv);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    LoadPlan plan;
    plan.rows = IntArgument(arguments, QStringLiteral("--rows"), plan.rows);
    plan.tickMs = IntArgument(arguments, QStringLiteral("--tick-ms"), plan.tickMs);
    plan.timeoutMs = IntArgument(arguments, QStringLiteral("--timeout-ms"), plan.timeoutMs);
    const int seconds = IntArgument(arguments, QStringLiteral("--seconds"), 120);
    plan.codePool = CodesNeeded(plan, seconds);

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--serve"), QStringLiteral("--codes"), QString::number(plan.codePool),
                  QStringLiteral("--drip-ms"), QString::number(plan.dripMs)});
    const int port = AwaitLine(server, "port").toInt();
    if (port <= 0) {
        std::fprintf(stderr, "the broken server did not start\n");
        return 1;
    }
    QUrl base;
    base.setScheme(QStringLiteral("http"));
    base.setHost(QStringLiteral("127.0.0.1"));
    base.setPort(port);

    RefreshLoad load(plan, base);
    load.fill();
    // The list is on screen, set up as ListView1 is: its repaints run on the same thread.
    QTreeView view;
    view.setModel(&load.list());
    view.setRootIsDecorated(false);
    view.setItemsExpandable(false);
    view.setUniformRowHeights(true);
    view.setAllColumnsShowFocus(true);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.resize(449, 225);
    if (!arguments.contains(QStringLiteral("--no-view")))
        view.show();

    // The same heartbeat with nothing to do first: what the machine itself costs.
    const auto runFor = [](int ms) {
        QEventLoop running;
        QTimer::singleShot(ms, &running, &QEventLoop::quit);
        running.exec();
    };
    Heartbeat idle;
    idle.start();
    runFor(kIdleMs);
    idle.stop();

    const qint64 startKiB = StatusKiB("VmHWM");
    // Resident memory at each quarter of the run: whether it levels off or keeps growing.
    QList<qint64> residentKiB;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &sampler,
                     [&residentKiB] { residentKiB << StatusKiB("VmRSS"); });
    sampler.start(seconds * 1000 / 4);
    Heartbeat heartbeat;
    heartbeat.start();
    load.start();
    runFor(seconds * 1000 + 100);
    sampler.stop();
    load.stop();
    heartbeat.stop();
    const qint64 peakKiB = StatusKiB("VmHWM");
    const qint64 endKiB = StatusKiB("VmRSS");
    const int waiting = load.refresh().waitingRows();
    // The figures stop here: what is still out is dropped before the server goes away.
    const RefreshLoad::Counts c = load.counts();
    const QStringList problems = load.problems();
    load.refresh().queue()->abortAll();

    server.closeWriteChannel();
    const int arrived = AwaitLine(server, "arrived").toInt();
    const qint64 serverPeakKiB = AwaitLine(server, "peak").toLongLong();
    const qint64 serverEndKiB = AwaitLine(server, "resident").toLongLong();
    if (server.state() != QProcess::NotRunning) {
        QEventLoop exiting;
        QObject::connect(&server, &QProcess::finished, &exiting, &QEventLoop::quit);
        QTimer::singleShot(5000, &exiting, &QEventLoop::quit);
        exiting.exec();
        if (server.state() != QProcess::NotRunning)
            server.kill();
    }

    std::printf("rows %d, %d s, a tick every %d ms, time limit %d ms, one list change every %d ms "
                "and %d after every tick\n",
                plan.rows, seconds, plan.tickMs, plan.timeoutMs, plan.churnMs, plan.removedAfterTick);
    std::printf("ticks                      %d (the longest took %.1f ms)\n", c.ticks,
                c.longestTickNs / 1e6);
    std::printf("requests sent              %lld by the refresh (arrived at the server %d, with "
                "the network layer's own resends)\n",
                c.asked, arrived);
    std::printf("requests answered          %lld\n", c.ok);
    std::printf("requests failed            %lld (%lld by the time limit, %lld of them for "
                "rows the server answers properly)\n",
                c.failed, c.timedOut, c.properTimedOut);
    std::printf("still out at the end       %d\n", waiting);
    std::printf("answers for removed rows   %lld\n", c.dropped);
    std::printf("rows removed/added         %d/%d, %d in the list at the end\n", c.removed,
                c.added, load.list().rowCount());
    std::printf("peak resident memory       %.1f MiB (VmHWM; %.1f MiB before the load, %.1f MiB "
                "resident at the end; server process %.1f MiB, %.1f MiB at the end)\n",
                peakKiB / 1024.0, startKiB / 1024.0, endKiB / 1024.0, serverPeakKiB / 1024.0,
                serverEndKiB / 1024.0);
    std::printf("resident at each quarter  ");
    for (const qint64 kib : residentKiB)
        std::printf(" %.1f", kib / 1024.0);
    std::printf(" MiB\n");
    std::printf("longest UI-thread stall    %.1f ms, %.1f s into the run (1 ms heartbeat, %lld "
                "beats, %lld gaps over 16 ms, %lld over 50 ms)\n",
                heartbeat.longestMs(), heartbeat.longestAtSeconds(), heartbeat.beats(),
                heartbeat.over16(), heartbeat.over50());
    std::printf("  the same with no load    %.1f ms over %d s before it (%lld gaps over 16 ms)\n",
                idle.longestMs(), kIdleMs / 1000, idle.over16());
    std::printf("problems seen              %lld\n", qint64(problems.size()));
    for (const QString &line : problems)
        std::printf("  %s\n", qPrintable(line));
    return 0;
}
