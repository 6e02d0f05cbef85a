#pragma once

#include "core/lookupthresholds.h"
#include "platform/httpqueue.h"

#include <QObject>

#include <string>

namespace velmora {

class QuoteBatcher;
class SourcePolicy;
struct RowAnswer;

// The add dialog's name lookup: asks the chosen source for one code, through an HTTP queue of its
// own ("Inet1"), and reads the answer as the name and the two default thresholds. A failed
// fetch, or a code the source cannot ask, is read as the empty reply (no name, both thresholds
// "0"). A lookup started anew replaces one still out: only the latest code's answer counts.
class StockLookup final : public QObject
{
    Q_OBJECT

public:
    explicit StockLookup(SourcePolicy &policy, QObject *parent = nullptr);

    void lookUp(const std::string &code);
    void cancel();
    bool isRunning() const { return m_running; }

    HttpQueue *queue() const;

signals:
    void answered(const velmora::NameLookupResult &result);

private:
    void onAnswered(const RowAnswer &answer);

    QuoteBatcher *m_batcher;
    bool m_running = false;
};

} // namespace velmora
