#include "platform/unixsignals.h"

#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora {

namespace {

// Write ends the handler writes to; lock-free atomics are safe to read in a signal handler.
constexpr int kSlots = 8;
std::atomic<int> g_writeFds[kSlots] = {-1, -1, -1, -1, -1, -1, -1, -1};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kMaxSignal = 65;
struct sigaction g_previous[kMaxSignal];
int g_installedCount[kMaxSignal] = {};

void onSignal(int number)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    for (auto &slot : g_writeFds) {
        const int fd = slot.load();
        if (fd >= 0)
            [[maybe_unused]] const auto written = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

UnixSignals::UnixSignals(std::initializer_list<int> signalNumbers, QObject *parent)
    : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, m_fds) != 0) {
        std::fprintf(stderr, "velmora: cannot watch for signals: %s\n", std::strerror(errno));
        return;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = -1;
        if (g_writeFds[i].compare_exchange_strong(expected, m_fds[0])) {
            m_slot = i;
            break;
        }
    }
    if (m_slot < 0) {
        ::close(m_fds[0]);
        ::close(m_fds[1]);
        m_fds[0] = m_fds[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignals::readPending);

    for (int number : signalNumbers) {
        if (number <= 0 || number >= kMaxSignal)
            continue;
        m_signals.push_back(number);
        if (g_installedCount[number]++ > 0)
            continue;
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(number, &action, &g_previous[number]);
    }
}

UnixSignals::~UnixSignals()
{
    if (m_slot < 0)
        return;
    for (int number : m_signals) {
        if (--g_installedCount[number] == 0)
            ::sigaction(number, &g_previous[number], nullptr);
    }
    g_writeFds[m_slot].store(-1);
    delete m_notifier;
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void UnixSignals::readPending()
{
    unsigned char buffer[64];
    for (;;) {
        const auto got = ::read(m_fds[1], buffer, sizeof buffer);
        if (got <= 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            // The handler is shared by every instance; each reports only what it asked for.
            if (std::find(m_signals.begin(), m_signals.end(), buffer[i]) != m_signals.end())
                emit received(buffer[i]);
        }
    }
}

} // namespace velmora
