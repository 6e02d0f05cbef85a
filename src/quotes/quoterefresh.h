#pragma once

#include "platform/quotefetcher.h"

#include <QObject>
#include <QUrl>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

class QTimer;

namespace velmora {

class WatchListModel;

// Timer1 and its transfer control Inet1: every tick asks one quote per row, in list order, and
// writes the row's sub-items 1-5 and colour from the answer. Nothing waits on the network: a
// row still waiting for an earlier answer is not asked again (so one dead row never holds up
// the others), and each answer goes to the row it was asked for, by the row's id, so a row
// removed meanwhile is skipped and a row added meanwhile is asked at the next tick.
class QuoteRefresh : public QObject
{
    Q_OBJECT

public:
    // timer1 is the window's Timer1; the window starts it (8000 ms, first tick 8 s after
    // start) and nothing here stops it.
    QuoteRefresh(WatchListModel &model, QTimer *timer1, const QUrl &quoteBase,
                 QObject *parent = nullptr);

    QuoteFetcher *inet1() const { return m_inet1; }
    // Rows whose answer is still out.
    int waitingRows() const { return static_cast<int>(m_waiting.size()); }

public slots:
    void Timer1_Timer();

signals:
    // One answer was handled: written to its row (written) or dropped because the row is gone.
    void answered(std::uint64_t rowId, bool fetchOk, bool written);

private:
    void onFinished(QuoteFetcher::Ticket ticket, const FetchResult &result);

    WatchListModel &m_model;
    QuoteFetcher *m_inet1;
    std::string m_base;
    std::unordered_map<QuoteFetcher::Ticket, std::uint64_t> m_rowOfTicket;
    std::unordered_set<std::uint64_t> m_waiting;
};

} // namespace velmora
