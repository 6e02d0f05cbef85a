#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <string>

class QNetworkReply;

namespace velmora {

// What one fetch brought back. A failure is told apart from any reply text.
struct FetchResult
{
    bool ok = false;
    std::string text;   // the body decoded to UTF-8, when ok

    QString error;      // why it failed, when !ok
    int status = 0;     // HTTP status, 0 when none arrived
    QByteArray charset; // the charset the server named in Content-Type, empty when none
    QByteArray retryAfter; // the server's Retry-After, empty when none
};

// A queue of HTTP GET requests with its own network access. Each of the refresh, the alert
// monitor and the add dialog's lookup owns one (through its quote batcher), as each owns its
// transfer control.
// At most kMaxInFlight requests are on the wire; the rest wait in our own queue, so that time
// spent waiting for a free connection never counts against a request. Each request is aborted
// kTimeoutMs after it was sent, by a timer of its own: a server that drips a byte a second
// never trips a silence timeout, and would otherwise hold the request for ever.
// A status other than 2xx, or a body over kMaxBodyBytes, is a failure. The body is decoded by
// the charset the server names, else as UTF-8 when valid, else as GB18030.
// Nothing but the address is ours to send: no cookie is kept or sent, no credential offered.
class HttpQueue : public QObject
{
    Q_OBJECT

public:
    using Ticket = std::uint64_t;
    static constexpr int kMaxInFlight = 6;
    static constexpr int kTimeoutMs = 60000;
    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    explicit HttpQueue(QObject *parent = nullptr);
    ~HttpQueue() override;

    // Queues a GET; finished(ticket, ...) follows exactly once unless abortAll() comes first.
    // It never arrives before fetch() has returned. A page that wants to know where it is
    // linked from gets the referer; nothing else of ours is sent.
    Ticket fetch(const QUrl &url, const QByteArray &referer = {});
    // Drops every queued and outstanding request; none of them reports afterwards.
    void abortAll();
    // Requests asked for and not yet reported: queued plus on the wire.
    int outstanding() const;
    // Requests on the wire.
    int inFlight() const;

    // Tests shorten the time limit.
    void setTimeoutMs(int ms);
    // The benchmark compares with one request at a time.
    void setMaxInFlight(int count);

signals:
    void finished(velmora::HttpQueue::Ticket ticket, const velmora::FetchResult &result);

private:
    struct Active;
    void startQueued();
    void send(const Active &state);
    void cutShort(QNetworkReply *reply, const QString &why);
    void renewNetwork();
    void releaseRetired();
    void complete(QNetworkReply *reply);

    struct Private;
    Private *d;
};

} // namespace velmora
