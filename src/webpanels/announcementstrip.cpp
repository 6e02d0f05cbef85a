#include "webpanels/announcementstrip.h"

#include "mainwin/form1.h"
#include "platform/openurl.h"
#include "platform/settings.h"
#include "platform/textcodec.h"
#include "webpanels/htmlcharset.h"

#include <QAbstractItemView>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTimer>
#include <QTreeView>

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

AnnouncementStrip::AnnouncementStrip(QTextBrowser *strip, QAbstractItemView *list,
                                     const QUrl &page, QObject *parent)
    : QObject(parent), m_strip(strip), m_list(list), m_page(page),
      m_document(new StripDocument(strip)), m_network(new QNetworkAccessManager(this)),
      m_deadline(new QTimer(this))
{
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &AnnouncementStrip::onDeadline);

    m_strip->setDocument(m_document);
    // A clicked link would otherwise be loaded into the strip by QTextBrowser, blanking it.
    m_strip->setOpenLinks(false);
    m_strip->setOpenExternalLinks(false);
    connect(m_strip, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        if (!m_document)
            return;
        const QUrl target = m_document->baseUrl().resolved(link);
        if (isWebUrl(target))
            OpenInBrowser(target);
    });

    // ListView1_Click: every left click on the list, on a row or on the empty space below.
    if (m_list) {
        m_viewport = m_list->viewport();
        m_viewport->installEventFilter(this);
    }
}

AnnouncementStrip::~AnnouncementStrip()
{
    ++m_generation;
    abortAll();
}

bool AnnouncementStrip::eventFilter(QObject *watched, QEvent *event)
{
    // Compared by the pointer kept at start: while the main window is being torn down the list
    // may already be half destroyed, and asking it for its viewport then is undefined.
    if (m_viewport && watched == m_viewport) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_leftPressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            // The second press of a double click is no new click.
            m_leftPressed = false;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const bool click =
                m_leftPressed && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
            m_leftPressed = false;
            if (click)
                ListView1_Click();
        }
    }
    return QObject::eventFilter(watched, event);
}

void AnnouncementStrip::ListView1_Click()
{
    navigate();
}

QNetworkReply *AnnouncementStrip::get(const QUrl &url, qint64 limit)
{
    QNetworkRequest request(url);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply *reply = m_network->get(request);
    // A body over the limit is abandoned as soon as it shows, not after it has all arrived.
    auto tooBig = [reply, limit] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if ((length.isValid() && length.toLongLong() > limit) || reply->bytesAvailable() > limit)
            reply->abort();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, tooBig);
    connect(reply, &QNetworkReply::readyRead, this, tooBig);
    return reply;
}

void AnnouncementStrip::navigate()
{
    if (!m_strip)
        return;
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

void AnnouncementStrip::abortAll()
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

void AnnouncementStrip::onDeadline()
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

void AnnouncementStrip::onPageFinished(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != m_generation)
        return;
    m_pageReply = nullptr;
    m_deadline->stop();
    if (!m_strip || !m_document)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        fail();
        return;
    }
    const QByteArray body = reply->readAll();
    if (body.size() > kMaxPageBytes) {
        fail();
        return;
    }

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
        m_strip->setPlainText(text);
    else
        m_strip->setHtml(text);
    WebBrowser1_DocumentComplete();
    fetchImages();
}

void AnnouncementStrip::fetchImages()
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

void AnnouncementStrip::onImageFinished(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != m_generation)
        return;
    m_imageReplies.removeAll(reply);
    if (!m_document)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299) {
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

void AnnouncementStrip::settleImages()
{
    if (!std::exchange(m_imagesPending, false))
        return;
    m_deadline->stop();
    WebBrowser1_DocumentComplete();
    emit documentComplete(true);
}

void AnnouncementStrip::fail()
{
    m_deadline->stop();
    if (!m_strip || !m_document)
        return;
    m_document->clear();
    m_document->setBaseUrl(QUrl());
    WebBrowser1_DocumentComplete();
    emit documentComplete(false);
}

void AnnouncementStrip::WebBrowser1_DocumentComplete()
{
    // The page's body gets Scroll = "no": the strip shows no scroll bars, whatever it holds.
    if (!m_strip)
        return;
    m_strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

AnnouncementStrip *AttachAnnouncementStrip(Form1 &form)
{
    auto *strip = new AnnouncementStrip(
        form.strip(), form.listView(),
        AppSettings::join(form.settings().siteBase, QStringLiteral("/gonggao.htm")), &form);
    strip->setObjectName(QStringLiteral("announcementStrip"));
    strip->navigate();
    return strip;
}

} // namespace velmora
