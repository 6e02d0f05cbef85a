#include "services/chartimagefeed.h"

#include "core/chartaddress.h"
#include "platform/httpcheck.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <utility>

namespace velmora {

namespace {

QString failureText(const QString &why)
{
    return QStringLiteral("无法获取分时图：") + why;
}

} // namespace

ChartImageFeed::ChartImageFeed(QUrl base, QObject *parent)
    : QObject(parent), m_base(std::move(base)), m_network(new QNetworkAccessManager(this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("chartImageFeed"));
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_timer->setObjectName(QStringLiteral("chartImageTimer"));
    m_timer->setInterval(kRefreshMs);
    connect(m_timer, &QTimer::timeout, this, &ChartImageFeed::fetch);
}

ChartImageFeed::~ChartImageFeed()
{
    // The reply dies with the network layer below; it must not report into a feed half gone.
    dropReply();
}

QUrl ChartImageFeed::imageUrl(const QString &symbol) const
{
    QUrl url = m_base;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + QString::fromStdString(ChartImagePath(symbol.toStdString()).value_or(std::string())));
    return url;
}

void ChartImageFeed::show(const std::string &symbol)
{
    dropReply();
    m_symbol = QString::fromStdString(symbol);
    // Only a chart symbol goes into the address: nothing else can reach another path.
    if (!ChartImagePath(symbol)) {
        m_timer->stop();
        emit failed(failureText(QStringLiteral("%1 不是行情代码").arg(m_symbol)));
        return;
    }
    m_timer->start();
    fetch();
}

void ChartImageFeed::stop()
{
    m_timer->stop();
    dropReply();
}

void ChartImageFeed::dropReply()
{
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    if (!reply)
        return;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void ChartImageFeed::fetch()
{
    // A tick that comes while the last image is still on its way waits for the next one.
    if (m_reply || m_symbol.isEmpty())
        return;
    QNetworkRequest request(imageUrl(m_symbol));
    // A public page has no business with cookies or logins of ours.
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply *reply = m_network->get(request);
    m_reply = reply;
    m_cutShort.clear();

    // The whole answer within the limit, not merely some byte now and then: a server that
    // drips would otherwise hold every later refresh back.
    auto *deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, [this, reply] {
        cutShort(reply, QStringLiteral("超时：%1 秒内没有收到完整回复").arg(kTimeoutMs / 1000));
    });
    deadline->start(kTimeoutMs);
    WatchReplySize(reply, kMaxImageBytes,
                   [this, reply] { cutShort(reply, TooLargeText(kMaxImageBytes)); });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { complete(reply); });
}

void ChartImageFeed::cutShort(QNetworkReply *reply, const QString &why)
{
    if (reply != m_reply || !m_cutShort.isEmpty())
        return;
    m_cutShort = why;
    reply->abort(); // finished() follows and reports why
}

void ChartImageFeed::complete(QNetworkReply *reply)
{
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->deleteLater();

    QString why = m_cutShort;
    if (why.isEmpty())
        why = HttpFailure(reply, kMaxImageBytes).value_or(QString());
    if (!why.isEmpty()) {
        emit failed(failureText(why));
        return;
    }
    QBuffer buffer;
    buffer.setData(reply->readAll());
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.width() > kMaxImageSide || size.height() > kMaxImageSide) {
        emit failed(failureText(QStringLiteral("图片大于 %1 × %1 像素").arg(kMaxImageSide)));
        return;
    }
    const QImage image = size.isValid() ? reader.read() : QImage();
    if (image.isNull()) {
        emit failed(failureText(QStringLiteral("回复不是可以显示的图片")));
        return;
    }
    emit imageReady(image);
}

} // namespace velmora
