#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <utility>

namespace velmora::testing {

// A quote service on 127.0.0.1 that answers /msq?cn_<code> with the reply set for that code
// (404 for any other code). While held, answers wait until release(), so a test can act while
// a lookup is still out, however fast the machine is.
class FakeQuoteService : public QObject
{
public:
    FakeQuoteService()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QUrl base() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()));
    }

    void setReply(const QByteArray &code, const QByteArray &reply) { m_replies[code] = reply; }
    void hold() { m_holding = true; }
    void release()
    {
        m_holding = false;
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto &[socket, code] : waiting) {
            if (socket)
                answer(socket, code);
        }
    }

    // The codes asked for, percent-decoded, in order of arrival.
    QList<QByteArray> requests;

private:
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QByteArray target = buffer.left(buffer.indexOf("\r\n")).split(' ').value(1);
        m_buffers.remove(socket);
        const QByteArray prefix = "/msq?cn_";
        const QByteArray code = target.startsWith(prefix)
                                    ? QByteArray::fromPercentEncoding(target.mid(prefix.size()))
                                    : QByteArray("<not a quote request>");
        requests << code;
        if (m_holding)
            m_waiting.append({QPointer<QTcpSocket>(socket), code});
        else
            answer(socket, code);
    }

    void answer(QTcpSocket *socket, const QByteArray &code)
    {
        const bool known = m_replies.contains(code);
        const QByteArray body = known ? m_replies.value(code) : QByteArray("not found");
        socket->write((known ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                      QByteArray("Content-Type: text/plain; charset=UTF-8\r\nContent-Length: ") +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QByteArray, QByteArray> m_replies;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<std::pair<QPointer<QTcpSocket>, QByteArray>> m_waiting;
    bool m_holding = false;
};

// A reply in the service's layout with the given name and price.
inline QByteArray QuoteReplyText(const QByteArray &name, const QByteArray &price)
{
    return "'x0','x1','" + name + "','" + price +
           "','1.23%','x5','x6','x7','x8','x9','x10','10.80','10.21'";
}

} // namespace velmora::testing
