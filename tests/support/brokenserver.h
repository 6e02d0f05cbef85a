#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QUrl>

class QTcpServer;
class QTcpSocket;

namespace velmora::testing {

// A deliberately broken HTTP server on 127.0.0.1 for tests: each request gets the behaviour the
// test chose for its key.
//
//   BrokenServer server;
//   QVERIFY(server.start());
//   server.setBehaviour("600002", BrokenServer::Behaviour::Hang);
//   fetch(server.baseUrl() + "/msq?cn_600002") ...
//
// The key of "/msq?cn_<code>" is the code with percent-encoding undone; the key of any other
// request is its path ("/gonggao.htm"). Keys without a behaviour get the default (Proper).
// Every connection carries one request and is closed after the answer ("Connection: close").
// Proper answers also set a cookie, so a test can check that the client never sends it back.
// All of it runs on the thread that owns the object.
class BrokenServer : public QObject
{
    Q_OBJECT

public:
    enum class Behaviour {
        Proper,          // 200, the reply text as GBK, "text/plain; charset=GBK"
        Hang,            // never answers; the connection stays open until the client leaves
        Hold,            // like Hang until releaseHeld(), then a proper answer
        Reset,           // the connection is reset (RST) as soon as the request has arrived
        Drip,            // 200 announcing 100000 bytes, then one byte per drip interval
        ServerError,     // 500 with an HTML page holding enough commas for 13 fields
        Huge,            // 200 with a 5 MiB body and its Content-Length
        HugeUnannounced, // 200 with a 5 MiB body, no length, ended by closing
        GbkNoCharset,    // the reply text as GBK, "text/plain" without any charset
        FewFields,       // the reply text cut after field 11: twelve fields, no day low
        NotFound,        // 404 with a short text
    };

    explicit BrokenServer(QObject *parent = nullptr);
    ~BrokenServer() override;

    // Listens on 127.0.0.1, a free port.
    bool start();
    // "http://127.0.0.1:<port>"
    QUrl baseUrl() const;
    // baseUrl() + "/msq?cn_" + code, code taken as already percent-encoded.
    QUrl quoteUrl(const QByteArray &encodedCode) const;

    void setBehaviour(const QByteArray &key, Behaviour behaviour);
    void setDefaultBehaviour(Behaviour behaviour);
    // The UTF-8 text a proper answer for key carries (default: properReply(key)).
    void setReply(const QByteArray &key, const QByteArray &utf8Text);
    // Bytes sent as they are (an image, say), with their content type.
    void setRawReply(const QByteArray &key, const QByteArray &bytes, const QByteArray &contentType);
    // Waits this long before every proper answer (default 0).
    void setDelayMs(int ms);
    // Time between two dripped bytes (default 100 ms).
    void setDripIntervalMs(int ms);
    // Answers every held request properly; returns how many were still there.
    int releaseHeld();
    // Every request without a behaviour of its own waits (Hold) until release(), which answers
    // them and goes back to answering at once.
    void holdAll();
    int release();

    // What arrived, in arrival order.
    QList<QByteArray> keys() const { return m_keys; }
    QList<QByteArray> targets() const { return m_targets; } // raw request targets
    QList<QByteArray> heads() const { return m_heads; }     // whole request heads
    int requestCount() const { return static_cast<int>(m_keys.size()); }
    // Requests that have arrived and are neither answered nor given up by the client.
    int openRequests() const { return m_open; }
    int maxOpenRequests() const { return m_maxOpen; }
    void clearLog();

    // The default reply text for a code (QuoteReplyText): name "测试<code>", a price, change,
    // high and low derived from the code (odd hash: a fall).
    static QByteArray properReply(const QByteArray &key);

signals:
    void requestArrived(const QByteArray &key);
    // A client closed or reset a connection before its answer was complete.
    void clientLeft(const QByteArray &key);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, Connection &connection);
    void answerProperly(QTcpSocket *socket, Connection &connection, bool withCharset,
                        bool fewFields);
    void finishAnswer(QTcpSocket *socket, Connection &connection);
    QByteArray replyText(const QByteArray &key) const;

    QTcpServer *m_server;
    QHash<QByteArray, Behaviour> m_behaviours;
    QHash<QByteArray, QByteArray> m_replies;
    QHash<QByteArray, std::pair<QByteArray, QByteArray>> m_rawReplies;
    Behaviour m_default = Behaviour::Proper;
    int m_delayMs = 0;
    int m_dripIntervalMs = 100;
    QHash<QTcpSocket *, Connection *> m_connections;
    QList<QByteArray> m_keys, m_targets, m_heads;
    int m_open = 0;
    int m_maxOpen = 0;
};

} // namespace velmora::testing
