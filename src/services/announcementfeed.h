#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QByteArray;
class QNetworkAccessManager;
class QNetworkReply;
class QTextDocument;
class QTimer;

namespace velmora {

class StripDocument;

// The maker's announcement page as a document for the main window's strip. The page is fetched
// through our own network access, decoded by its charset and laid out with the http images we
// fetched ourselves; nothing is read from disk and nothing else is fetched. A newer load
// supersedes one still running; a page that cannot be loaded leaves the document empty,
// without a message.
class AnnouncementFeed final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxPageBytes = 512 * 1024;
    static constexpr qint64 kMaxImageBytes = 1024 * 1024;
    static constexpr int kMaxImages = 16;
    static constexpr int kMaxImageSide = 4096;
    static constexpr int kTimeoutMs = 30000;

    explicit AnnouncementFeed(const QUrl &page, QObject *parent = nullptr);
    ~AnnouncementFeed() override;

    // (Re)loads the page into the document.
    void reload();
    QUrl page() const { return m_page; }
    // What the strip shows; it lives as long as the feed.
    QTextDocument *document() const;

    // Tests shorten the time a page and its images may take.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    // The page's text is in the document (ok), or the load failed and the document is empty.
    void pageLoaded(bool ok);
    // A load has ended: ok with the page and whatever images could be had, or not ok with the
    // document left empty.
    void loadFinished(bool ok);

private:
    void onPageFinished(QNetworkReply *reply, quint64 generation);
    void onImageFinished(QNetworkReply *reply, quint64 generation);
    void onDeadline();
    void fail();
    void fetchImages();
    void settleImages();
    void abortAll();
    QNetworkReply *get(const QUrl &url, qint64 limit);

    QUrl m_page;
    StripDocument *m_document;
    QNetworkAccessManager *m_network;
    QTimer *m_deadline;
    int m_timeoutMs = kTimeoutMs;
    quint64 m_generation = 0;
    QPointer<QNetworkReply> m_pageReply;
    QList<QPointer<QNetworkReply>> m_imageReplies;
    bool m_imagesPending = false;
};

} // namespace velmora
