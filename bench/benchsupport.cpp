#include "benchsupport.h"

#include "core/watchliststore.h"
#include "demo/demoservice.h"
#include "watchlist/watchlist.h"

#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace velmora::bench {

Heartbeat::Heartbeat()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    });
    m_clock.start();
    m_timer.start();
}

void Heartbeat::reset()
{
    m_last = m_clock.nsecsElapsed();
    m_longest = 0;
}

double Heartbeat::longestMs() const
{
    return static_cast<double>(std::max(m_longest, m_clock.nsecsElapsed() - m_last)) / 1e6;
}

ServiceThread::ServiceThread(int latencyMs)
{
    m_thread.start();
    m_context.moveToThread(&m_thread);
    run([this, latencyMs] {
        m_service = new DemoQuoteService({20240603, latencyMs, 4000});
        m_ok = m_service->start();
        m_base = m_service->baseUrl();
    });
}

ServiceThread::~ServiceThread()
{
    // Made on the service's thread, so it goes there too.
    run([this] { delete m_service; });
    m_thread.quit();
    m_thread.wait();
}

void ServiceThread::run(const std::function<void()> &work)
{
    QMetaObject::invokeMethod(&m_context, work, Qt::BlockingQueuedConnection);
}

void ServiceThread::setLatency(int ms)
{
    run([this, ms] { m_service->setLatencyMs(ms); });
}

int ServiceThread::requests()
{
    int count = 0;
    run([this, &count] { count = m_service->quoteRequests(); });
    return count;
}

bool FillList(const QTemporaryDir &dir, WatchList &list, int rows)
{
    std::string codes, takeProfit, stopLoss;
    for (int i = 0; i < rows; ++i) {
        codes += std::to_string(600000 + i) + "\r\n";
        takeProfit += "99\r\n";
        stopLoss += "1\r\n";
    }
    const std::pair<const char *, const std::string *> files[] = {
        {kCodeFileName, &codes}, {kTakeProfitFileName, &takeProfit}, {kStopLossFileName, &stopLoss}};
    for (const auto &[name, bytes] : files) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(bytes->data(), static_cast<qint64>(bytes->size())) != static_cast<qint64>(bytes->size()))
            return false;
    }
    return !list.load() && list.rowCount() == rows;
}

void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

const char *TextArgument(int argc, char **argv, const char *name, const char *fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    }
    return fallback;
}

int IntArgument(int argc, char **argv, const char *name, int fallback)
{
    const char *text = TextArgument(argc, argv, name, nullptr);
    return text ? std::atoi(text) : fallback;
}

bool FlagArgument(int argc, char **argv, const char *name)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

void UseOffscreenWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::string Format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

} // namespace velmora::bench
