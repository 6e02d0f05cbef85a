#include "services/alertmonitor.h"

#include "core/quotereply.h"
#include "services/quoteaddressing.h"
#include "watchlist/watchlist.h"

#include <QTimer>

namespace velmora {

AlertMonitor::AlertMonitor(WatchList &list, const QUrl &quoteBase, QObject *parent)
    : QObject(parent), m_list(list), m_timer(new QTimer(this)), m_fetcher(new QuoteFetcher(this)),
      m_base(quoteBase)
{
    setObjectName(QStringLiteral("alertMonitor"));
    m_timer->setObjectName(QStringLiteral("Timer2"));
    m_timer->setInterval(kIntervalMs);
    // The monitor's own fetcher: alerts never share requests or answers with the refresh.
    m_fetcher->setObjectName(QStringLiteral("Inet2"));
    connect(m_fetcher, &QuoteFetcher::finished, this, &AlertMonitor::onFetched);
    connect(m_timer, &QTimer::timeout, this, &AlertMonitor::checkAll);
}

AlertMonitor::~AlertMonitor() = default;

void AlertMonitor::enableAlerts()
{
    // Restarting the timer would only put the next check off.
    if (!m_timer->isActive())
        m_timer->start();
}

void AlertMonitor::disableAlerts()
{
    m_timer->stop();
    m_fetcher->abortAll();
    forgetRequests();
}

bool AlertMonitor::alertsEnabled() const
{
    return m_timer->isActive();
}

void AlertMonitor::forgetRequests()
{
    m_waiting.clear();
    m_waitingRows.clear();
    m_thisTick.clear();
    m_answers.clear();
    m_collecting = false;
}

void AlertMonitor::checkAll()
{
    // The previous tick's check has waited long enough: rows still unanswered raise nothing
    // in it, and their answers are dropped when they come.
    if (m_collecting)
        evaluate();

    m_thisTick.clear();
    m_answers.clear();
    m_collecting = true;
    m_asking = true;
    for (int i = 0; i < m_list.rowCount(); ++i) {
        const WatchRow &row = m_list.rowAt(i);
        // One request per row at a time: a row whose service hangs must not pile requests up.
        if (!m_waitingRows.contains(row.id))
            fetchRow(row.id, row.entry.code);
    }
    m_asking = false;
    if (m_thisTick.empty()) {
        if (m_answers.empty())
            m_collecting = false; // nothing asked: nothing to check
        else
            evaluate(); // every answer came back at once
    }
}

void AlertMonitor::fetchRow(RowId rowId, const std::string &code)
{
    const QuoteFetcher::Ticket ticket = m_fetcher->fetch(QuoteAddress(m_base, code));
    m_waiting.emplace(ticket, rowId);
    m_waitingRows.insert(rowId);
    m_thisTick.emplace(ticket, rowId);
}

void AlertMonitor::onFetched(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto waiting = m_waiting.find(ticket);
    if (waiting == m_waiting.end())
        return; // asked before alerts were switched off: dropped
    const RowId rowId = waiting->second;
    m_waiting.erase(waiting);
    m_waitingRows.erase(rowId);

    const auto asked = m_thisTick.find(ticket);
    if (asked == m_thisTick.end())
        return; // too late for the check it was asked for
    m_thisTick.erase(asked);

    std::optional<std::string> price;
    if (result.ok)
        price = ParseQuoteReply(result.body.toStdString()).price;
    m_answers[rowId] = std::move(price);
    if (m_thisTick.empty() && !m_asking)
        evaluate();
}

// The two tests for every answered row, in list order. Rows are read afresh here: a row removed
// meanwhile is skipped, and the name is the list's name cell at this moment.
void AlertMonitor::evaluate()
{
    m_collecting = false;
    m_thisTick.clear();
    const auto answers = std::move(m_answers);
    m_answers.clear();

    for (int i = 0; i < m_list.rowCount(); ++i) {
        const WatchRow &row = m_list.rowAt(i);
        const auto answer = answers.find(row.id);
        if (answer == answers.end())
            continue;
        const std::string takeProfit = m_list.text(i, WatchList::TakeProfit).toStdString();
        const std::string stopLoss = m_list.text(i, WatchList::StopLoss).toStdString();
        for (const Alert &alert : EvaluateAlerts(answer->second, takeProfit, stopLoss)) {
            AlertNotice notice;
            notice.row = row.id;
            notice.kind = alert.kind;
            notice.code = m_list.text(i, WatchList::Code);
            notice.name = m_list.text(i, WatchList::Name);
            notice.price = QString::fromStdString(answer->second.value_or(std::string()));
            notice.threshold = QString::fromStdString(alert.threshold);
            notice.thresholdCaption = QString::fromUtf8(ThresholdCaption(alert.kind));
            emit alertRaised(notice);
        }
    }
    emit checked();
}

} // namespace velmora
