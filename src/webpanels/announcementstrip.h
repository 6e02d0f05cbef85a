#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QAbstractItemView;
class QByteArray;
class QNetworkAccessManager;
class QNetworkReply;
class QTextBrowser;
class QTimer;

namespace velmora {

class Form1;
class StripDocument;

// Feeds the main window's announcement strip WebBrowser1 (a QTextBrowser) from the maker's
// announcement page. The page is fetched through our own network access, decoded by its
// charset, shown with its http images fetched by us, and every link opens in the user's
// browser. Loads at start (Form_Load) and on every click on the list (ListView1_Click); after
// every completed load the strip's scroll bars are switched off again (the DocumentComplete
// step). A newer load supersedes one still running; a page that cannot be loaded leaves the
// strip empty, without a message.
class AnnouncementStrip : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxPageBytes = 512 * 1024;
    static constexpr qint64 kMaxImageBytes = 1024 * 1024;
    static constexpr int kMaxImages = 16;
    static constexpr int kMaxImageSide = 4096;
    static constexpr int kTimeoutMs = 30000;

    AnnouncementStrip(QTextBrowser *strip, QAbstractItemView *list, const QUrl &page,
                      QObject *parent = nullptr);
    ~AnnouncementStrip() override;

    // Navigate: (re)loads the page into the strip.
    void navigate();
    QUrl page() const { return m_page; }

    // Tests shorten the time a page and its images may take.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

signals:
    // A load has ended: ok with the page and whatever images could be had shown, or not ok
    // with the strip left empty. The scroll bars are off again when this arrives.
    void documentComplete(bool ok);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ListView1_Click();
    void WebBrowser1_DocumentComplete();
    void onPageFinished(QNetworkReply *reply, quint64 generation);
    void onImageFinished(QNetworkReply *reply, quint64 generation);
    void onDeadline();
    void fail();
    void fetchImages();
    void settleImages();
    void abortAll();
    QNetworkReply *get(const QUrl &url, qint64 limit);

    QPointer<QTextBrowser> m_strip;
    QPointer<QAbstractItemView> m_list;
    QPointer<QWidget> m_viewport;
    QUrl m_page;
    QPointer<StripDocument> m_document; // belongs to the strip, which may go first
    QNetworkAccessManager *m_network;
    QTimer *m_deadline;
    int m_timeoutMs = kTimeoutMs;
    quint64 m_generation = 0;
    QPointer<QNetworkReply> m_pageReply;
    QList<QPointer<QNetworkReply>> m_imageReplies;
    bool m_imagesPending = false;
    bool m_leftPressed = false;
};

// Form_Load step 5: attaches the strip to the main window and loads the announcement page.
AnnouncementStrip *AttachAnnouncementStrip(Form1 &form);

} // namespace velmora
