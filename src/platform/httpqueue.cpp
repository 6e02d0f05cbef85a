#include "platform/httpqueue.h"

#include "core/htmlcharset.h"
#include "platform/httpcheck.h"
#include "platform/textcodec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <algorithm>

#include <deque>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace velmora {

namespace {
constexpr int kMaxResends = 3;
} // namespace

struct HttpQueue::Active
{
    Ticket ticket;
    QUrl url;
    QByteArray referer;
    QDeadlineTimer deadline; // from the first sending, kept across resends
    int resends = 0;
    bool sent = false; // the request went out on a connection
    QString failure; // set when we cut the transfer short ourselves
};

struct HttpQueue::Private
{
    struct Queued
    {
        Ticket ticket;
        QUrl url;
        QByteArray referer;
    };

    QNetworkAccessManager *network = nullptr;
    // Replaced network layers that still carry requests which went out; each goes once its
    // last one has finished.
    std::vector<QNetworkAccessManager *> retired;
    std::deque<Queued> queue;
    std::unordered_map<QNetworkReply *, Active> active;
    // Tickets refused before going on the wire; their failure is reported from the event loop
    // so that it never arrives inside fetch().
    std::unordered_set<Ticket> refused;
    Ticket nextTicket = 1;
    int timeoutMs = kTimeoutMs;
    int maxInFlight = kMaxInFlight;
};

HttpQueue::HttpQueue(QObject *parent) : QObject(parent), d(new Private)
{
    d->network = new QNetworkAccessManager(this);
}

HttpQueue::~HttpQueue()
{
    abortAll();
    delete d;
}

HttpQueue::Ticket HttpQueue::fetch(const QUrl &url, const QByteArray &referer)
{
    const Ticket ticket = d->nextTicket++;
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // Only web addresses: a file: or data: address must never be read as a quote.
        d->refused.insert(ticket);
        QMetaObject::invokeMethod(
            this,
            [this, ticket] {
                if (d->refused.erase(ticket) == 0)
                    return; // abortAll() came first
                FetchResult result;
                result.error = QStringLiteral("地址无效");
                emit finished(ticket, result);
            },
            Qt::QueuedConnection);
        return ticket;
    }
    d->queue.push_back({ticket, url, referer});
    startQueued();
    return ticket;
}

void HttpQueue::startQueued()
{
    while (static_cast<int>(d->active.size()) < d->maxInFlight && !d->queue.empty()) {
        const Private::Queued next = d->queue.front();
        d->queue.pop_front();
        // The clock starts now that the request goes on the wire, not when it was queued.
        send({next.ticket, next.url, next.referer, QDeadlineTimer(d->timeoutMs), 0, false, {}});
    }
}

void HttpQueue::send(const Active &state)
{
    QNetworkRequest request(state.url);
    if (!state.referer.isEmpty())
        request.setRawHeader("Referer", state.referer);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    QNetworkReply *reply = d->network->get(request);
    d->active.emplace(reply, state);

    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, reply] {
        const auto it = d->active.find(reply);
        // Under load Qt's network layer can stop putting requests on the wire without ever
        // failing them, and it does not recover by itself: a request that reaches its time
        // limit without having been sent means the layer is stuck, so it is replaced.
        const bool stuck = it != d->active.end() && !it->second.sent &&
                           reply->manager() == d->network;
        cutShort(reply, QStringLiteral("超时：%1 秒内没有收到完整回复").arg(d->timeoutMs / 1000.0));
        if (stuck)
            renewNetwork();
    });
    timer->start(std::max<qint64>(0, state.deadline.remainingTime()));

    WatchReplySize(reply, kMaxBodyBytes,
                   [this, reply] { cutShort(reply, TooLargeText(kMaxBodyBytes)); });
    connect(reply, &QNetworkReply::requestSent, this, [this, reply] {
        if (const auto it = d->active.find(reply); it != d->active.end())
            it->second.sent = true;
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { complete(reply); });
}

void HttpQueue::renewNetwork()
{
    // The network layer says from its own thread that a request went out, and under load that
    // word can still be waiting in this thread's queue: hear it first, so that a request which
    // did go out is not taken for unsent and asked a second time.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    QNetworkAccessManager *old = d->network;
    d->network = new QNetworkAccessManager(this);
    // What the old layer never sent goes out again through the new one, within its own time
    // limit; what it did send finishes where it is.
    std::vector<Active> unsent;
    for (auto it = d->active.begin(); it != d->active.end();) {
        QNetworkReply *reply = it->first;
        if (reply->manager() == old && !it->second.sent && it->second.failure.isEmpty()) {
            unsent.push_back(it->second);
            it = d->active.erase(it);
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        } else {
            ++it;
        }
    }
    d->retired.push_back(old);
    for (const Active &state : unsent)
        send(state);
    releaseRetired();
}

void HttpQueue::releaseRetired()
{
    std::erase_if(d->retired, [this](QNetworkAccessManager *manager) {
        for (const auto &entry : d->active) {
            if (entry.first->manager() == manager)
                return false;
        }
        manager->deleteLater();
        return true;
    });
}

void HttpQueue::cutShort(QNetworkReply *reply, const QString &why)
{
    const auto it = d->active.find(reply);
    if (it == d->active.end() || !it->second.failure.isEmpty())
        return;
    it->second.failure = why;
    reply->abort(); // finished() follows and reports the failure set above
}

void HttpQueue::complete(QNetworkReply *reply)
{
    const auto it = d->active.find(reply);
    if (it == d->active.end())
        return;
    Active done = it->second;
    d->active.erase(it);
    reply->disconnect(this);
    reply->deleteLater();
    if (!d->retired.empty())
        releaseRetired();

    FetchResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // When one connection to a host is closed on a request, the network layer also fails, with
    // the same error, the requests to that host still waiting for a connection of their own,
    // though they never went out. Those are sent again (within their own time limit), or one
    // row's broken answer would blank its neighbours. A request that did go out is not.
    if (done.failure.isEmpty() && !done.sent && result.status == 0 &&
        reply->error() == QNetworkReply::RemoteHostClosedError && done.resends < kMaxResends &&
        !done.deadline.hasExpired()) {
        ++done.resends;
        send(done);
        return;
    }
    result.retryAfter = reply->rawHeader("Retry-After");
    result.charset = QByteArray::fromStdString(
        CharsetFromContentType(reply->rawHeader("Content-Type").toStdString()));
    if (!done.failure.isEmpty()) {
        result.error = done.failure;
    } else if (const auto failure = HttpFailure(reply, kMaxBodyBytes)) {
        result.error = *failure;
    } else {
        result.ok = true;
        result.text = DecodeText(reply->readAll(), result.charset).toStdString();
    }
    startQueued();
    emit finished(done.ticket, result);
}

void HttpQueue::abortAll()
{
    d->queue.clear();
    d->refused.clear();
    auto active = std::move(d->active);
    d->active.clear();
    for (auto &[reply, state] : active) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    releaseRetired();
}

int HttpQueue::outstanding() const
{
    return static_cast<int>(d->queue.size() + d->active.size() + d->refused.size());
}

int HttpQueue::inFlight() const
{
    return static_cast<int>(d->active.size());
}

void HttpQueue::setTimeoutMs(int ms)
{
    d->timeoutMs = ms;
}

void HttpQueue::setMaxInFlight(int count)
{
    d->maxInFlight = std::max(1, count);
    startQueued();
}

} // namespace velmora
