#pragma once

#include "core/lookupthresholds.h"
#include "platform/quotefetcher.h"

#include <QObject>
#include <QUrl>

#include <optional>
#include <string>

namespace velmora {

// The add dialog's name lookup: asks the quote service for one code, through a fetcher of its
// own ("Inet1"), and reads the answer as the name and the two default thresholds. A failed
// fetch is read as the empty reply (no name, both thresholds "0"). A lookup started anew
// replaces one still out: only the latest code's answer counts.
class StockLookup final : public QObject
{
    Q_OBJECT

public:
    explicit StockLookup(const QUrl &quoteBase, QObject *parent = nullptr);

    void lookUp(const std::string &code);
    void cancel();
    bool isRunning() const { return m_ticket.has_value(); }

    QuoteFetcher *fetcher() const { return m_fetcher; }

signals:
    void answered(const velmora::NameLookupResult &result);

private:
    void onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result);

    QuoteFetcher *m_fetcher;
    QUrl m_base;
    std::optional<QuoteFetcher::Ticket> m_ticket;
};

} // namespace velmora
