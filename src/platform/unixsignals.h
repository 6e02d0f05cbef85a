#pragma once

#include <QObject>

#include <initializer_list>
#include <vector>

class QSocketNotifier;

namespace velmora {

// Delivers SIGTERM, SIGINT and the like into the event loop: the handler only writes the
// signal number into a socket pair (all a signal handler may safely do), and a socket notifier
// reads it on the user-interface thread, where received() is emitted. The previous handlers
// come back when the last instance goes.
class UnixSignals : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignals(std::initializer_list<int> signalNumbers, QObject *parent = nullptr);
    ~UnixSignals() override;

    bool isActive() const { return m_slot >= 0; }

signals:
    void received(int signalNumber);

private:
    void readPending();

    int m_fds[2] = {-1, -1}; // [0] written by the handler, [1] read by the notifier
    int m_slot = -1;
    std::vector<int> m_signals; // the ones this instance installed, undone on destruction
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace velmora
