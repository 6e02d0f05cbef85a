#pragma once

#include "core/lookupthresholds.h"
#include "platform/quotefetcher.h"

#include <QObject>

#include <string>

namespace velmora {

class QuoteClient;
class QuoteSources;
struct RowAnswer;

// The add dialog's name lookup: asks the chosen source for one code, through a fetcher of its
// own ("Inet1"), and reads the answer as the name and the two default thresholds. A failed
// fetch, or a code the source cannot ask, is read as the empty reply (no name, both thresholds
// "0"). A lookup started anew replaces one still out: only the latest code's answer counts.
class StockLookup final : public QObject
{
    Q_OBJECT

public:
    explicit StockLookup(QuoteSources &sources, QObject *parent = nullptr);

    void lookUp(const std::string &code);
    void cancel();
    bool isRunning() const { return m_running; }

    QuoteFetcher *fetcher() const;

signals:
    void answered(const velmora::NameLookupResult &result);

private:
    void onAnswered(const RowAnswer &answer);

    QuoteClient *m_client;
    bool m_running = false;
};

} // namespace velmora
