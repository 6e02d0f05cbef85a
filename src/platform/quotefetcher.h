#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <cstdint>

namespace velmora {

// What one fetch brought back. A failure is told apart from any reply text.
struct FetchResult
{
    bool ok = false;
    QString body;   // decoded text when ok
    QString error;  // why it failed, when !ok
    int status = 0; // HTTP status, 0 when none arrived
};

// An asynchronous quote fetcher with its own network access and its own queue. Each of the
// refresh, the alert monitor and the add dialog owns one, as each owns its transfer control.
// At most kMaxInFlight requests are on the wire; each is aborted kTimeoutMs after it was sent.
// A status other than 2xx, or a body over kMaxBodyBytes, is a failure.
class QuoteFetcher : public QObject
{
    Q_OBJECT

public:
    using Ticket = std::uint64_t;
    static constexpr int kMaxInFlight = 6;
    static constexpr int kTimeoutMs = 60000;
    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    explicit QuoteFetcher(QObject *parent = nullptr);
    ~QuoteFetcher() override;

    // Queues a GET; finished(ticket, ...) follows exactly once unless abortAll() comes first.
    Ticket fetch(const QUrl &url);
    // Drops every queued and outstanding request; none of them reports afterwards.
    void abortAll();
    int outstanding() const;

    // Tests shorten the time limit.
    void setTimeoutMs(int ms);

signals:
    void finished(velmora::QuoteFetcher::Ticket ticket, const velmora::FetchResult &result);

private:
    struct Private;
    Private *d;
};

} // namespace velmora
