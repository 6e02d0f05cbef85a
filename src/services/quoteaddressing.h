#pragma once

#include <QUrl>

#include <string>

namespace velmora {

// The address that asks the quote service at base for one code: the one place every caller
// (the refresh, the alert monitor, the stock lookup) builds it.
QUrl QuoteAddress(const QUrl &base, const std::string &code);

} // namespace velmora
