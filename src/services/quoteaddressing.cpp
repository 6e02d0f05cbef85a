#include "services/quoteaddressing.h"

#include "core/quoteaddress.h"

namespace velmora {

QUrl QuoteAddress(const QUrl &base, const std::string &code)
{
    const std::string url = BuildQuoteUrl(base.toString(QUrl::FullyEncoded).toStdString(), code);
    return QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode);
}

} // namespace velmora
