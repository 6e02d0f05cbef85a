#include "support/brokenserver.h"

#include "support/replies.h"

#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace velmora::testing {

namespace {

constexpr qint64 kHugeBytes = 5 * 1024 * 1024;
constexpr int kDripAnnounced = 100000;

QByteArray gbk(const QByteArray &utf8)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(QString::fromUtf8(utf8));
}

quint32 hashOf(const QByteArray &key)
{
    quint32 h = 2166136261u;
    for (char c : key) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

QByteArray cents(int value)
{
    const QByteArray sign = value < 0 ? "-" : "";
    value = std::abs(value);
    QByteArray fraction = QByteArray::number(value % 100);
    if (fraction.size() < 2)
        fraction.prepend('0');
    return sign + QByteArray::number(value / 100) + '.' + fraction;
}

QByteArray head(const QByteArray &status, const QByteArray &contentType, qint64 length,
                const QByteArray &extra = {})
{
    QByteArray text = "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType + "\r\n";
    if (length >= 0)
        text += "Content-Length: " + QByteArray::number(length) + "\r\n";
    return text + extra + "Connection: close\r\n\r\n";
}

} // namespace

struct BrokenServer::Connection
{
    QByteArray buffer;
    QByteArray key;
    bool requestSeen = false;
    bool open = false; // counted in m_open
    bool held = false;
};

BrokenServer::BrokenServer(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &BrokenServer::onNewConnection);
}

BrokenServer::~BrokenServer()
{
    for (QTcpSocket *socket : m_connections.keys())
        socket->disconnect(this);
    qDeleteAll(m_connections);
}

bool BrokenServer::start()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QUrl BrokenServer::baseUrl() const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_server->serverPort());
    return url;
}

QUrl BrokenServer::quoteUrl(const QByteArray &encodedCode) const
{
    return QUrl::fromEncoded(baseUrl().toEncoded() + "/msq?cn_" + encodedCode);
}

void BrokenServer::setBehaviour(const QByteArray &key, Behaviour behaviour)
{
    m_behaviours.insert(key, behaviour);
}

void BrokenServer::setDefaultBehaviour(Behaviour behaviour)
{
    m_default = behaviour;
}

void BrokenServer::setReply(const QByteArray &key, const QByteArray &utf8Text)
{
    m_replies.insert(key, utf8Text);
}

void BrokenServer::setRawReply(const QByteArray &key, const QByteArray &bytes,
                               const QByteArray &contentType)
{
    m_rawReplies.insert(key, {bytes, contentType});
}

void BrokenServer::setDelayMs(int ms)
{
    m_delayMs = ms;
}

void BrokenServer::setDripIntervalMs(int ms)
{
    m_dripIntervalMs = ms;
}

void BrokenServer::clearLog()
{
    m_keys.clear();
    m_targets.clear();
    m_heads.clear();
    m_maxOpen = m_open;
}

QByteArray BrokenServer::properReply(const QByteArray &key)
{
    QByteArray code;
    for (char c : key) {
        if (c != ',' && c != '\'' && static_cast<unsigned char>(c) >= 0x20)
            code += c;
    }
    const quint32 h = hashOf(key);
    const int price = 1000 + static_cast<int>(h % 9000);
    const int change = static_cast<int>((h >> 8) % 900) + 1;
    return QuoteReplyText("测试" + code, cents(price), cents((h & 1) ? -change : change) + '%',
                          cents(price + 50), cents(price - 50));
}

QByteArray BrokenServer::replyText(const QByteArray &key) const
{
    return m_replies.contains(key) ? m_replies.value(key) : properReply(key);
}

int BrokenServer::releaseHeld()
{
    int released = 0;
    for (auto it = m_connections.begin(); it != m_connections.end(); ++it) {
        if (it.value()->held && it.value()->open) {
            it.value()->held = false;
            answerProperly(it.key(), *it.value(), true, false);
            ++released;
        }
    }
    return released;
}

void BrokenServer::holdAll()
{
    m_default = Behaviour::Hold;
}

int BrokenServer::release()
{
    m_default = Behaviour::Proper;
    return releaseHeld();
}

void BrokenServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        m_connections.insert(socket, new Connection);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            Connection *connection = m_connections.value(socket);
            if (connection && connection->open) {
                connection->open = false;
                --m_open;
                emit clientLeft(connection->key);
            }
            socket->deleteLater();
        });
        connect(socket, &QObject::destroyed, this, [this, socket] {
            delete m_connections.take(socket);
        });
    }
}

void BrokenServer::onReadyRead(QTcpSocket *socket)
{
    Connection *connection = m_connections.value(socket);
    if (!connection)
        return;
    connection->buffer += socket->readAll();
    if (connection->requestSeen)
        return;
    const qsizetype end = connection->buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QByteArray requestHead = connection->buffer.left(end + 4);
    const QByteArray requestLine = requestHead.left(requestHead.indexOf("\r\n"));
    const QList<QByteArray> parts = requestLine.split(' ');
    const QByteArray target = parts.size() >= 2 ? parts.at(1) : QByteArray();
    const qsizetype prefix = target.indexOf("/msq?cn_");
    const qsizetype query = target.indexOf('?');
    QByteArray key = prefix == 0 ? QByteArray::fromPercentEncoding(target.mid(8))
                                 : (query < 0 ? target : target.left(query));
    connection->requestSeen = true;
    connection->key = key;
    connection->open = true;
    ++m_open;
    m_maxOpen = std::max(m_maxOpen, m_open);
    m_keys << key;
    m_targets << target;
    // A deep copy: the head shares the whole read buffer, which would stay alive in the log.
    m_heads << QByteArray(requestHead.constData(), requestHead.size());
    emit requestArrived(key);
    respond(socket, *connection);
}

void BrokenServer::respond(QTcpSocket *socket, Connection &connection)
{
    switch (m_behaviours.value(connection.key, m_default)) {
    case Behaviour::Proper:
        if (m_delayMs > 0) {
            QTimer::singleShot(m_delayMs, socket, [this, socket] {
                if (Connection *c = m_connections.value(socket); c && c->open)
                    answerProperly(socket, *c, true, false);
            });
        } else {
            answerProperly(socket, connection, true, false);
        }
        return;
    case Behaviour::Hang:
        return;
    case Behaviour::Hold:
        connection.held = true;
        return;
    case Behaviour::Reset: {
        connection.open = false;
        --m_open;
        // A zero linger turns the close into a reset.
        const linger hard{1, 0};
        setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                   sizeof hard);
        socket->abort();
        return;
    }
    case Behaviour::Drip: {
        socket->write(head("200 OK", "text/plain; charset=GBK", kDripAnnounced));
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->write("x", 1); });
        timer->start(m_dripIntervalMs);
        return;
    }
    case Behaviour::ServerError: {
        const QByteArray page = "<html><head><title>500</title></head><body><h1>服务器内部错误"
                                "</h1><p>a,b,c,d,e,f,g,h,i,j,k,l,m,n,o</p></body></html>";
        socket->write(head("500 Internal Server Error", "text/html; charset=utf-8", page.size()));
        socket->write(page);
        finishAnswer(socket, connection);
        return;
    }
    case Behaviour::Huge:
    case Behaviour::HugeUnannounced: {
        const bool announced = m_behaviours.value(connection.key, m_default) == Behaviour::Huge;
        socket->write(head("200 OK", "text/plain; charset=GBK", announced ? kHugeBytes : -1));
        QByteArray body = replyText(connection.key);
        body += QByteArray(kHugeBytes - body.size(), ' ');
        socket->write(body);
        finishAnswer(socket, connection);
        return;
    }
    case Behaviour::GbkNoCharset:
        answerProperly(socket, connection, false, false);
        return;
    case Behaviour::FewFields:
        answerProperly(socket, connection, true, true);
        return;
    case Behaviour::NotFound: {
        const QByteArray text = "not found";
        socket->write(head("404 Not Found", "text/plain; charset=utf-8", text.size()));
        socket->write(text);
        finishAnswer(socket, connection);
        return;
    }
    }
}

void BrokenServer::answerProperly(QTcpSocket *socket, Connection &connection, bool withCharset,
                                  bool fewFields)
{
    if (const auto raw = m_rawReplies.constFind(connection.key); raw != m_rawReplies.cend()) {
        socket->write(head("200 OK", raw->second, raw->first.size()));
        socket->write(raw->first);
        finishAnswer(socket, connection);
        return;
    }
    QByteArray text = replyText(connection.key);
    if (fewFields) {
        qsizetype at = -1;
        for (int commas = 0; commas < 12; ++commas) {
            at = text.indexOf(',', at + 1);
            if (at < 0)
                break;
        }
        if (at >= 0)
            text.truncate(at);
    }
    const QByteArray body = gbk(text);
    socket->write(head("200 OK", withCharset ? "text/plain; charset=GBK" : "text/plain",
                       body.size(), "Set-Cookie: velmora_test=1; Path=/\r\n"));
    socket->write(body);
    finishAnswer(socket, connection);
}

void BrokenServer::finishAnswer(QTcpSocket *socket, Connection &connection)
{
    if (connection.open) {
        connection.open = false;
        --m_open;
    }
    socket->disconnectFromHost(); // after what is written has gone out
}

} // namespace velmora::testing
