#include "chartviewer/commandserver.h"

#include "core/viewerprotocol.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace velmora {

CommandServer::CommandServer(QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this)), m_connectTimer(new QTimer(this))
{
    // Only the user who started us may talk to us.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_connectTimer->setSingleShot(true);
    connect(m_connectTimer, &QTimer::timeout, this, &CommandServer::peerLost);
    connect(m_server, &QLocalServer::newConnection, this, &CommandServer::accept);
}

bool CommandServer::listen(const QString &name)
{
    if (!m_server->listen(name))
        return false;
    m_connectTimer->start(kConnectTimeoutMs);
    return true;
}

QString CommandServer::errorString() const
{
    return m_server->errorString();
}

void CommandServer::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_peer) {
            // One program, one connection: latecomers are turned away.
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_connectTimer->stop();
        m_peer = socket;
        connect(socket, &QLocalSocket::readyRead, this, &CommandServer::readLines);
        connect(socket, &QLocalSocket::disconnected, this, &CommandServer::peerLost);
        readLines();
    }
}

void CommandServer::readLines()
{
    if (!m_peer)
        return;
    m_buffer += m_peer->readAll();
    qsizetype end;
    while ((end = m_buffer.indexOf('\n')) >= 0) {
        const QByteArray line = m_buffer.left(end + 1);
        m_buffer.remove(0, end + 1);
        const ViewerMessage message =
            ParseViewerMessage(std::string_view(line.constData(), line.size()));
        if (message.kind == ViewerMessage::Kind::Show)
            emit showRequested();
        else if (message.kind == ViewerMessage::Kind::Hide || message.kind == ViewerMessage::Kind::Unhide)
            emit discreetRequested(message.kind == ViewerMessage::Kind::Hide);
        else if (message.kind == ViewerMessage::Kind::Navigate)
            emit navigateRequested(QUrl::fromEncoded(QByteArray::fromStdString(message.url)));
    }
    if (m_buffer.size() > static_cast<qsizetype>(kMaxViewerLineBytes))
        m_buffer.clear();
}

void CommandServer::reportLoad(const QUrl &url, bool ok)
{
    if (!m_peer)
        return;
    const auto line = FormatViewerMessage({ok ? ViewerMessage::Kind::Loaded
                                              : ViewerMessage::Kind::Failed,
                                           url.toString(QUrl::FullyEncoded).toStdString()});
    if (line)
        m_peer->write(QByteArray::fromStdString(*line));
}

void CommandServer::hangUp()
{
    if (!m_peer)
        return;
    m_peer->disconnect(this);
    m_peer->flush();
    m_peer->disconnectFromServer();
}

} // namespace velmora
