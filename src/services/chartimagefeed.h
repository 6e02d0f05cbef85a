#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <string>

class QImage;
class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace velmora {

// The public intraday chart image of one stock, {base}/newchart/min/n/<symbol>.gif, fetched
// now and then once a minute while someone looks at it. It is fetched and decoded by us, so the
// chart needs no browser engine. One stock at a time: a newer show() or a stop() drops whatever
// an earlier one still waits for.
class ChartImageFeed final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxImageBytes = 2 * 1024 * 1024;
    static constexpr int kMaxImageSide = 4096;
    static constexpr int kTimeoutMs = 30000;
    static constexpr int kRefreshMs = 60000;

    explicit ChartImageFeed(QUrl base, QObject *parent = nullptr);
    ~ChartImageFeed() override;

    // Starts showing symbol ("sh600519"): fetches it at once and then on every tick of timer().
    // Anything but a market symbol fails at once, inside this call, and fetches nothing.
    void show(const std::string &symbol);
    // Fetches nothing more and drops a reply still on its way.
    void stop();
    // The stock shown, empty before the first show().
    QString symbol() const { return m_symbol; }
    // The minute's refresh ("chartImageTimer"); tests shorten it.
    QTimer *timer() const { return m_timer; }
    QUrl imageUrl(const QString &symbol) const;

signals:
    void imageReady(const QImage &image);
    // Why the image could not be had, in Chinese.
    void failed(const QString &why);

private:
    void fetch();
    void cutShort(QNetworkReply *reply, const QString &why);
    void complete(QNetworkReply *reply);
    void dropReply();

    QUrl m_base;
    QString m_symbol;
    QNetworkAccessManager *m_network;
    QTimer *m_timer;
    QPointer<QNetworkReply> m_reply;
    QString m_cutShort; // why we ended m_reply ourselves
};

} // namespace velmora
