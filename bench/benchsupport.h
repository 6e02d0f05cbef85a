#pragma once

// What the benchmarks share: a heartbeat that measures stalls of the user-interface thread, the
// demo service on a thread of its own, a list of N rows on disk, and the command-line and
// printing helpers.

#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

class QTemporaryDir;

namespace velmora {

class DemoQuoteService;
class WatchList;

namespace bench {

// The largest gap between two beats of a 1 ms timer on this thread.
class Heartbeat
{
public:
    Heartbeat();
    void reset();
    double longestMs() const;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The demo service on a thread of its own, latencyMs added to each answer; every call is carried
// out there.
class ServiceThread
{
public:
    explicit ServiceThread(int latencyMs = 0);
    ~ServiceThread();
    bool ok() const { return m_ok; }
    QUrl base() const { return m_base; }
    DemoQuoteService *service() const { return m_service; }
    void run(const std::function<void()> &work);
    void setLatency(int ms);
    int requests();

private:
    QThread m_thread;
    QObject m_context;
    DemoQuoteService *m_service = nullptr;
    bool m_ok = false;
    QUrl m_base;
};

// A list of rows codes (600000 on, take-profit 99, stop-loss 1) on disk, loaded as the program
// loads it.
bool FillList(const QTemporaryDir &dir, WatchList &list, int rows);

// Lets the event loop run for ms (timers keep firing meanwhile).
void RunFor(int ms);

// --name VALUE on the command line, else fallback; FlagArgument: whether --name is there.
int IntArgument(int argc, char **argv, const char *name, int fallback);
const char *TextArgument(int argc, char **argv, const char *name, const char *fallback);
bool FlagArgument(int argc, char **argv, const char *name);

// Runs offscreen unless a display was given.
void UseOffscreenWithoutDisplay();

double Median(std::vector<double> values);
std::string Format(const char *pattern, double value);

} // namespace bench
} // namespace velmora
