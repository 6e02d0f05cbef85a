// A long watch list (10,000 rows unless told otherwise):
//  - importing it from a CSV file into an empty folder (ListActions::importFile), the rows counted;
//  - starting the whole program on it, to the main window exposed and the list first painted,
//    each start a fresh Application on the same folder (median of a few);
//  - sorting the view by price and by change, once quotes are in: the first click (ascending),
//    the second (descending) and the third (the list's own order), each until the list is
//    painted again.
//
//   bench_list [--rows N] [--imports I] [--starts S] [--repeats R] [--source custom|demo]
//
// Quotes come from the built-in demo service: on a thread of its own for the custom service
// (custom, the default), or started by the program itself (demo). Nothing reaches beyond
// 127.0.0.1. Figures are printed, never checked.

#include "benchsupport.h"
#include "app/application.h"
#include "app/desktopintegration.h"
#include "platform/fonts.h"
#include "platform/messages.h"
#include "services/alertmonitor.h"
#include "services/listactions.h"
#include "services/quoterefresh.h"
#include "ui/docking.h"
#include "ui/listsortproxy.h"
#include "ui/mainwindow.h"
#include "watchlist/watchlist.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;
using namespace velmora::bench;

namespace {

// Watches every event of the program for the first exposure of each window and the first paint
// of each widget since the last forget(), on one clock; a wait for one window and one widget ends
// when both have been seen (also when that happened before the wait began).
class FirstSight : public QObject
{
public:
    explicit FirstSight(const QElapsedTimer &clock) : m_clock(clock) {}

    void forget()
    {
        ++m_generation;
        m_exposed.clear();
        m_painted.clear();
        m_window = nullptr;
        m_widget = nullptr;
    }
    // Which window's exposure and which widget's paint a wait is for; no window: the paint only.
    void watch(QWindow *window, QWidget *widget)
    {
        m_window = window;
        m_widget = widget;
    }
    qint64 exposedAt() const { return m_window ? m_exposed.value(m_window, -1) : 0; }
    qint64 paintedAt() const { return m_painted.value(m_widget, -1); }
    bool seen() const { return exposedAt() >= 0 && paintedAt() >= 0; }

    // Runs the event loop until both were seen, at most limitMs; false when they were not.
    bool wait(int limitMs = 10000)
    {
        if (seen())
            return true;
        QEventLoop loop;
        m_loop = &loop;
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        loop.exec();
        m_loop = nullptr;
        return seen();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_exposed.contains(watched)) {
            auto *window = qobject_cast<QWindow *>(watched);
            if (window && window->isExposed())
                m_exposed.insert(watched, m_clock.nsecsElapsed());
            wakeIfSeen();
        }
        // A paint event arrives before the widget paints: the paint counts once the event loop
        // is back, the repaint it belongs to done and flushed.
        if (event->type() == QEvent::Paint && !m_painted.contains(watched) &&
            !m_paintPending.contains(watched)) {
            m_paintPending.insert(watched);
            const int generation = m_generation;
            QMetaObject::invokeMethod(
                this,
                [this, watched, generation] {
                    m_paintPending.remove(watched);
                    if (generation != m_generation)
                        return;
                    m_painted.insert(watched, m_clock.nsecsElapsed());
                    wakeIfSeen();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    void wakeIfSeen()
    {
        if (m_loop && seen())
            m_loop->quit();
    }

    const QElapsedTimer &m_clock;
    QHash<QObject *, qint64> m_exposed;
    QHash<QObject *, qint64> m_painted;
    QSet<QObject *> m_paintPending;
    int m_generation = 0;
    QWindow *m_window = nullptr;
    QWidget *m_widget = nullptr;
    QEventLoop *m_loop = nullptr;
};

// A number from the row's position that looks random enough for a sort: 0 .. range-1.
unsigned scatter(int position, unsigned salt, unsigned range)
{
    std::uint32_t x = static_cast<std::uint32_t>(position) * 2654435761u + salt;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return x % range;
}

std::string cents(unsigned value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u.%02u", value / 100, value % 100);
    return text;
}

// The CSV the program imports: UTF-8 with a byte order mark, the header, CR LF, six-digit codes
// and numeric thresholds.
bool writeCsv(const QString &path, int rows)
{
    std::string text = "\xEF\xBB\xBF"
                       "代码,止盈价,止损价\r\n";
    text.reserve(static_cast<size_t>(rows) * 24 + 32);
    for (int i = 0; i < rows; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%06d", 600000 + i % 400000);
        const unsigned base = 300 + scatter(i, 7, 9000);
        text += std::string(code) + ',' + cents(base * 12 / 10) + ',' + cents(base * 9 / 10) + "\r\n";
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
}

void printRow(const std::string &what, const std::string &figure, const char *target)
{
    std::printf("  %-60s %22s   %s\n", what.c_str(), figure.c_str(), target);
}

// No tick, alert check or dock move may run into a measurement.
void stopTimers(Application &program)
{
    program.quoteRefresh().timer()->stop();
    program.alertMonitor().timer()->stop();
    program.docking().timer()->stop();
}

// A quote for every row, its figures drawn from the row's position and salt, written one row at a
// time as the refresh writes its answers.
void giveQuotes(WatchList &list, unsigned salt)
{
    for (int position = 0; position < list.rowCount(); ++position) {
        Quote quote;
        const unsigned price = 300 + scatter(position, 11 + salt, 9000);
        const int change = static_cast<int>(scatter(position, 13 + salt, 2001)) - 1000; // -10.00% .. 10.00%
        quote.name = "演示" + std::to_string(position);
        quote.price = cents(price);
        quote.high = cents(price + price / 50);
        quote.low = cents(price - price / 50);
        if (change < 0)
            quote.change.push_back('-');
        quote.change += cents(static_cast<unsigned>(std::abs(change)));
        quote.change += '%';
        quote.date = "2026-12-07";
        quote.time = "10:00:00";
        list.applyQuote(list.rowAt(position).id, quote, 1796608800);
    }
}

} // namespace

int main(int argc, char **argv)
{
    UseOffscreenWithoutDisplay();
    QApplication qapp(argc, argv);
    // As the program itself starts.
    QApplication::setFont(SongTiFont(kDefaultPointSize));
    QApplication::setQuitOnLastWindowClosed(false);
    const int rows = std::max(1, IntArgument(argc, argv, "--rows", 10000));
    const int imports = std::max(1, IntArgument(argc, argv, "--imports", 3));
    const int starts = std::max(1, IntArgument(argc, argv, "--starts", 5));
    const int repeats = std::max(1, IntArgument(argc, argv, "--repeats", 5));
    const bool demoSource = std::strcmp(TextArgument(argc, argv, "--source", "custom"), "demo") == 0;

    // A message box would wait for a click: every message goes to the terminal instead.
    QStringList messages;
    Messages::setSinkForTests([&messages](const QString &text) {
        messages << text;
        std::fprintf(stderr, "bench_list: message: %s\n", qUtf8Printable(text));
    });

    ServiceThread server;
    if (!server.ok()) {
        std::fprintf(stderr, "bench_list: the demo service could not listen on 127.0.0.1\n");
        return 1;
    }
    QTemporaryDir work;
    const QString csv = work.filePath(QStringLiteral("自选股.csv"));
    if (!work.isValid() || !writeCsv(csv, rows)) {
        std::fprintf(stderr, "bench_list: could not write %s\n", qPrintable(csv));
        return 1;
    }
    std::printf("bench_list: %d rows, %s source, offscreen platform: %s\n\n", rows,
                demoSource ? "demo (started by the program)" : "custom (demo service on its own thread)",
                qPrintable(QGuiApplication::platformName()));
    std::printf("  %-60s %22s   %s\n", "what", "figure", "target");

    // Importing into an empty folder, each time a new one; the first is the folder started on.
    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<double> importSeconds;
    int added = -1;
    int listed = -1;
    bool importOk = true;
    for (int i = 0; i < imports; ++i) {
        folders.push_back(std::make_unique<QTemporaryDir>());
        WatchList list(folders.back()->path().toStdString());
        if (list.load()) {
            std::fprintf(stderr, "bench_list: the empty folder could not be read\n");
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        const ActionResult outcome = ListActions(list).importFile(csv);
        importSeconds.push_back(timer.nsecsElapsed() / 1e9);
        importOk = importOk && outcome.ok;
        if (!outcome.ok)
            std::fprintf(stderr, "bench_list: import failed: %s\n", qUtf8Printable(outcome.message));
        if (i == 0) {
            added = outcome.rows;
            listed = list.rowCount();
        }
    }
    std::printf("import of a %d-row CSV into an empty folder (ListActions::importFile), median of %d:\n", rows, imports);
    printRow("wall time", Format("%.3f s", Median(importSeconds)), "<= 0.5 s");
    printRow("rows the import added, rows in the list", std::to_string(added) + ", " + std::to_string(listed),
             importOk && added == rows && listed == rows ? "(all there)" : "(ROWS MISSING)");

    // Starting the program on that folder.
    AppSettings settings;
    settings.dataDir = folders.front()->path();
    settings.userSettingsPath = work.filePath(QStringLiteral("config/velmora.conf"));
    settings.quoteBase = settings.chartBase = settings.siteBase = server.base();
    settings.tencentBase = settings.sinaBase = settings.chartImageBase = server.base();
    settings.user.source = demoSource ? QuoteSourceKind::Demo : QuoteSourceKind::Custom;
    settings.user.customBase = server.base();
    settings.demo = demoSource;

    QElapsedTimer clock;
    clock.start();
    FirstSight sight(clock);
    qapp.installEventFilter(&sight);

    std::vector<double> startedSeconds, exposedSeconds, paintedSeconds;
    std::unique_ptr<Application> program;
    bool everyStartShown = true;
    int startRows = -1;
    for (int i = 0; i < starts; ++i) {
        if (program) {
            program.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            RunFor(50);
        }
        sight.forget();
        const qint64 before = clock.nsecsElapsed();
        program = std::make_unique<Application>(settings);
        program->desktop().setProgramEnd([](int) {});
        if (const auto failure = program->start()) {
            std::fprintf(stderr, "bench_list: the program did not start: %s\n", qUtf8Printable(*failure));
            return 1;
        }
        const qint64 started = clock.nsecsElapsed();
        MainWindow &window = program->mainWindow();
        sight.watch(window.windowHandle(), window.listView()->viewport());
        const bool shown = sight.wait();
        everyStartShown = everyStartShown && shown;
        startedSeconds.push_back((started - before) / 1e9);
        exposedSeconds.push_back(((shown ? sight.exposedAt() : clock.nsecsElapsed()) - before) / 1e9);
        paintedSeconds.push_back(((shown ? sight.paintedAt() : clock.nsecsElapsed()) - before) / 1e9);
        startRows = program->watchList().rowCount();
        stopTimers(*program);
    }
    std::printf("start on that folder, from a new Application to the main window, median of %d:\n", starts);
    printRow("start() returned", Format("%.3f s", Median(startedSeconds)), "");
    printRow("main window exposed", Format("%.3f s", Median(exposedSeconds)), "<= 0.3 s");
    printRow("list first painted", Format("%.3f s", Median(paintedSeconds)), "");
    printRow("first start of this process: exposed (fonts and styles cold)",
             Format("%.3f s", exposedSeconds.front()), "");
    printRow("slowest start: exposed", Format("%.3f s", *std::max_element(exposedSeconds.begin(), exposedSeconds.end())), "");
    printRow("rows in the started list", std::to_string(startRows),
             everyStartShown ? "" : "(A WINDOW WAS NOT SHOWN WITHIN 10 s)");

    // Quotes for every row, then the clicks on a header. The last program stays for it.
    WatchList &list = program->watchList();
    ListSortProxy &order = *program->mainWindow().viewOrder();
    QWidget *viewport = program->mainWindow().listView()->viewport();
    QElapsedTimer quoting;
    quoting.start();
    giveQuotes(list, 0);
    const double quotingSeconds = quoting.nsecsElapsed() / 1e9;
    RunFor(100);

    const struct
    {
        int column;
        const char *name;
    } columns[] = {{WatchList::Price, "price"}, {WatchList::Change, "change"}};
    const char *clickNames[] = {"first click (ascending)", "second click (descending)",
                                "third click (own order)"};
    std::printf("sorting the %d-row view, median of %d rounds of three clicks:\n", list.rowCount(), repeats);
    printRow("(quotes written into every row, unsorted)", Format("%.3f s", quotingSeconds), "");
    std::string topPrice[3];
    for (const auto &column : columns) {
        std::vector<double> callMs[3], paintedMs[3];
        for (int round = 0; round < repeats; ++round) {
            for (int click = 0; click < 3; ++click) {
                sight.forget();
                sight.watch(nullptr, viewport);
                const qint64 before = clock.nsecsElapsed();
                order.headerClicked(column.column);
                const qint64 returned = clock.nsecsElapsed();
                const bool painted = sight.wait(5000);
                callMs[click].push_back((returned - before) / 1e6);
                paintedMs[click].push_back(((painted ? sight.paintedAt() : clock.nsecsElapsed()) - before) / 1e6);
                if (round == 0 && column.column == WatchList::Price) {
                    const QModelIndex top = order.index(0, WatchList::Price);
                    topPrice[click] = top.data().toString().toStdString();
                }
                RunFor(20);
            }
        }
        for (int click = 0; click < 3; ++click) {
            printRow(std::string(column.name) + ", " + clickNames[click] + ": headerClicked",
                     Format("%.1f ms", Median(callMs[click])) +
                         Format(" (worst %.1f)", *std::max_element(callMs[click].begin(), callMs[click].end())),
                     "<= 50 ms");
            printRow(std::string(column.name) + ", " + clickNames[click] + ": until painted",
                     Format("%.1f ms", Median(paintedMs[click])), "");
        }
    }
    printRow("top price after each click of the first round",
             topPrice[0] + " / " + topPrice[1] + " / " + topPrice[2], "");

    // A tick's new quotes written while the view is sorted by price, which re-sorts as they come.
    {
        order.headerClicked(WatchList::Price);
        RunFor(50);
        QElapsedTimer timer;
        timer.start();
        giveQuotes(list, 1);
        const double seconds = timer.nsecsElapsed() / 1e9;
        RunFor(50);
        printRow("(quotes written into every row again, view sorted by price)", Format("%.3f s", seconds), "");
        order.headerClicked(WatchList::Price);
        order.headerClicked(WatchList::Price);
    }

    sight.forget();
    qapp.removeEventFilter(&sight);
    program.reset();
    Messages::setSinkForTests(nullptr);
    return 0;
}
