#include "services/announcementfeed.h"

#include "core/htmlcharset.h"
#include "platform/httpcheck.h"
#include "platform/textcodec.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTimer>

namespace velmora {

namespace {

bool isWebUrl(const QUrl &url)
{
    return url.isValid() && (url.scheme() == QLatin1String("http") ||
                             url.scheme() == QLatin1String("https"));
}

// Stands in for every image we have not (yet) fetched ourselves. Qt would otherwise try to
// read the image's address as a local file name, and failing that paint a broken-file icon.
QImage blankImage()
{
    static const QImage blank = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }();
    return blank;
}

QImage decodeImage(const QByteArray &bytes, int maxSide)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxSide || size.height() > maxSide)
        return {};
    return reader.read();
}

} // namespace

// The strip's document: it shows only what we fetched and added with addResource (those are
// looked up before this is asked). Nothing is read from disk, and stylesheets are left out.
class StripDocument : public QTextDocument
{
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int type, const QUrl &) override
    {
        if (type == QTextDocument::ImageResource)
            return blankImage();
        return QVariant();
    }
};

AnnouncementFeed::AnnouncementFeed(const QUrl &page, QObject *parent)
    : QObject(parent), m_page(page), m_document(new StripDocument(this)),
      m_network(new QNetworkAccessManager(this)), m_deadline(new QTimer(this))
{
    setObjectName(QStringLiteral("announcementFeed"));
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &AnnouncementFeed::onDeadline);
}

AnnouncementFeed::~AnnouncementFeed()
{
    ++m_generation;
    abortAll();
}

QTextDocument *AnnouncementFeed::document() const
{
    return m_document;
}

QNetworkReply *AnnouncementFeed::get(const QUrl &url, qint64 limit)
{
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply *reply = m_network->get(request);
    // A body over the limit is abandoned as soon as it shows, not after it has all arrived.
    WatchReplySize(reply, limit, [reply] { reply->abort(); });
    return reply;
}

void AnnouncementFeed::reload()
{
    // Navigate: whatever the previous load still waits for is no longer wanted.
    const quint64 generation = ++m_generation;
    abortAll();
    m_imagesPending = false;
    if (!isWebUrl(m_page)) {
        fail();
        return;
    }
    QNetworkReply *reply = get(m_page, kMaxPageBytes);
    m_pageReply = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation] { onPageFinished(reply, generation); });
    m_deadline->start(m_timeoutMs);
}

void AnnouncementFeed::abortAll()
{
    m_deadline->stop();
    if (m_pageReply)
        m_pageReply->abort();
    const auto images = std::exchange(m_imageReplies, {});
    for (const auto &reply : images) {
        if (reply)
            reply->abort();
    }
}

void AnnouncementFeed::onDeadline()
{
    if (m_pageReply) {
        m_pageReply->abort(); // ends in fail()
        return;
    }
    // The page is shown; images still on their way are left out.
    const auto images = std::exchange(m_imageReplies, {});
    for (const auto &reply : images) {
        if (reply)
            reply->abort();
    }
    settleImages();
}

void AnnouncementFeed::onPageFinished(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != m_generation)
        return;
    m_pageReply = nullptr;
    m_deadline->stop();
    if (HttpFailure(reply, kMaxPageBytes)) {
        fail();
        return;
    }
    const QByteArray body = reply->readAll();

    const QByteArray contentType = reply->rawHeader("Content-Type");
    const QByteArray mime = contentType.split(';').constFirst().trimmed().toLower();
    const bool plain = mime == "text/plain";
    if (!plain && !mime.isEmpty() && mime != "text/html" && mime != "application/xhtml+xml") {
        fail(); // nothing a text strip could show
        return;
    }
    std::string charset = CharsetFromContentType(contentType.toStdString());
    if (charset.empty() && !plain)
        charset = FindMetaCharset(std::string_view(body.constData(), body.size()));
    const QString text = DecodeText(body, QByteArrayView(charset.data(), charset.size()));

    m_document->clear(); // also drops the previous page's images
    m_document->setBaseUrl(reply->url());
    if (plain)
        m_document->setPlainText(text);
    else
        m_document->setHtml(text);
    emit pageLoaded(true);
    fetchImages();
}

void AnnouncementFeed::fetchImages()
{
    QSet<QUrl> wanted;
    for (QTextBlock block = m_document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QUrl url =
                m_document->baseUrl().resolved(QUrl(format.toImageFormat().name()));
            if (isWebUrl(url))
                wanted.insert(url);
        }
    }
    const quint64 generation = m_generation;
    for (const QUrl &url : std::as_const(wanted)) {
        if (m_imageReplies.size() >= kMaxImages)
            break;
        QNetworkReply *reply = get(url, kMaxImageBytes);
        m_imageReplies.append(reply);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, generation] { onImageFinished(reply, generation); });
    }
    m_imagesPending = true;
    if (m_imageReplies.isEmpty()) {
        settleImages();
        return;
    }
    m_deadline->start(m_timeoutMs);
}

void AnnouncementFeed::onImageFinished(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != m_generation)
        return;
    m_imageReplies.removeAll(reply);
    if (!HttpFailure(reply, kMaxImageBytes)) {
        const QImage image = decodeImage(reply->readAll(), kMaxImageSide);
        // Added under the address it was asked for, which is how the document looks it up.
        if (!image.isNull()) {
            m_document->addResource(QTextDocument::ImageResource, reply->request().url(), image);
            m_document->markContentsDirty(0, m_document->characterCount());
        }
    }
    if (m_imageReplies.isEmpty())
        settleImages();
}

void AnnouncementFeed::settleImages()
{
    if (!std::exchange(m_imagesPending, false))
        return;
    m_deadline->stop();
    emit loadFinished(true);
}

void AnnouncementFeed::fail()
{
    m_deadline->stop();
    m_document->clear();
    m_document->setBaseUrl(QUrl());
    emit pageLoaded(false);
    emit loadFinished(false);
}

} // namespace velmora
