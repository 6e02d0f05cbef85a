#include "platform/httpcheck.h"

#include <QNetworkReply>

namespace velmora {

QString TooLargeText(qint64 limit)
{
    return QStringLiteral("回复超过 %1 字节").arg(limit);
}

std::optional<QString> HttpFailure(QNetworkReply *reply, qint64 limit)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && (status < 200 || status > 299))
        return QStringLiteral("服务器回复状态 %1").arg(status);
    if (reply->error() != QNetworkReply::NoError)
        return reply->errorString();
    if (status == 0)
        return QStringLiteral("没有收到回复状态");
    if (reply->bytesAvailable() > limit)
        return TooLargeText(limit);
    return std::nullopt;
}

void WatchReplySize(QNetworkReply *reply, qint64 limit, std::function<void()> tooLarge)
{
    auto check = [reply, limit, tooLarge](qint64 received, qint64 total) {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if ((length.isValid() && length.toLongLong() > limit) || received > limit ||
            total > limit || reply->bytesAvailable() > limit)
            tooLarge();
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [check] { check(0, 0); });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, check);
    // A body without a length announces nothing; what has piled up tells.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [check] { check(0, 0); });
}

} // namespace velmora
