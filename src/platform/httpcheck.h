#pragma once

#include <QString>

#include <functional>
#include <optional>

class QNetworkReply;

namespace velmora {

// The one check of every HTTP answer the program reads: only a 2xx answer that arrived whole
// and within its size limit counts. Returns why a finished reply failed, nothing when it is
// good. Its body is still unread.
std::optional<QString> HttpFailure(QNetworkReply *reply, qint64 limit);

// Calls tooLarge (once is enough: callers abort) as soon as the reply announces or piles up
// more than limit bytes, long before it has all arrived.
void WatchReplySize(QNetworkReply *reply, qint64 limit, std::function<void()> tooLarge);

// "回复超过 N 字节"
QString TooLargeText(qint64 limit);

} // namespace velmora
