#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace velmora {

// The viewer's end of the local socket: takes "show" and "navigate <url>" lines from the one
// program that started it and reports finished loads back.
class CommandServer : public QObject
{
    Q_OBJECT

public:
    // Without a connection within this time the program that started us is gone.
    static constexpr int kConnectTimeoutMs = 30000;

    explicit CommandServer(QObject *parent = nullptr);

    bool listen(const QString &name);
    QString errorString() const;

    void reportLoad(const QUrl &url, bool ok);
    // Tells the program at once that this viewer is closing.
    void hangUp();

signals:
    void showRequested();
    // Discreet mode began (out of sight) or ended (back, when it was showing).
    void discreetRequested(bool discreet);
    void navigateRequested(const QUrl &url);
    // The program went away (or never came): the viewer has nobody left to serve.
    void peerLost();

private:
    void accept();
    void readLines();

    QLocalServer *m_server;
    QTimer *m_connectTimer;
    QPointer<QLocalSocket> m_peer;
    QByteArray m_buffer;
};

} // namespace velmora
