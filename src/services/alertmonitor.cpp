#include "services/alertmonitor.h"

#include "platform/textcodec.h"
#include "services/quotebatcher.h"
#include "services/quotepoller.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

namespace velmora {

AlertMonitor::AlertMonitor(WatchList &list, SourcePolicy &policy, QObject *parent)
    : QObject(parent), m_list(list), m_policy(policy),
      // The monitor's own timer and queue: alerts never share requests or answers with the
      // refresh.
      m_poller(new QuotePoller(list, policy, QStringLiteral("Timer2"), QStringLiteral("Inet2"), this))
{
    setObjectName(QStringLiteral("alertMonitor"));
    connect(m_poller, &QuotePoller::polling, this, [this] { m_lastAlertPosition = -1; });
    connect(m_poller, &QuotePoller::answered, this, &AlertMonitor::onAnswered);
    connect(m_poller, &QuotePoller::pollAnswered, this, &AlertMonitor::checked);
}

AlertMonitor::~AlertMonitor() = default;

QTimer *AlertMonitor::timer() const
{
    return m_poller->timer();
}

HttpQueue *AlertMonitor::queue() const
{
    return m_poller->queue();
}

void AlertMonitor::enableAlerts()
{
    if (m_poller->isActive())
        return;
    m_poller->start();
    emit alertsSwitchedOn(m_poller->clockMs());
}

void AlertMonitor::disableAlerts()
{
    m_poller->stop();
    emit alertsSwitchedOff();
}

bool AlertMonitor::alertsEnabled() const
{
    return m_poller->isActive();
}

void AlertMonitor::checkAll()
{
    m_poller->poll();
}

void AlertMonitor::onAnswered(const RowAnswer &answer)
{
    std::optional<Quote> quote;
    if (answer.outcome == RowAnswer::Outcome::Quote)
        quote = answer.quote;
    // How old the quote is, told against the newest quote of its own reply rather than this
    // machine's clock, which may run ahead of the page's.
    check(answer.row, answer.sentAtMs, answer.quoteAgeMs, quote);
}

// The two tests for the row, read afresh: a row removed meanwhile raises nothing, and the name
// is the row's name at this moment.
void AlertMonitor::check(RowId id, qint64 sentAtMs, qint64 quoteAgeMs, const std::optional<Quote> &quote)
{
    const std::optional<std::string> price = quote ? std::optional(quote->price) : std::nullopt;
    const auto position = m_list.positionOf(id);
    if (!position)
        return;
    const WatchRow &row = m_list.rowAt(*position);
    const std::string takeProfit = DecodeStored(row.entry.takeProfit).toStdString();
    const std::string stopLoss = DecodeStored(row.entry.stopLoss).toStdString();
    emit replyChecked(id, sentAtMs, quoteAgeMs, quote, takeProfit, stopLoss);
    if (*position < m_lastAlertPosition)
        return; // a later row has told its alert since this tick began
    for (const Alert &alert : EvaluateAlerts(price, takeProfit, stopLoss)) {
        AlertNotice notice;
        notice.row = id;
        notice.kind = alert.kind;
        notice.code = DecodeStored(row.entry.code);
        notice.name = QString::fromStdString(row.quote.name);
        notice.price = QString::fromStdString(price.value_or(std::string()));
        notice.threshold = QString::fromStdString(alert.threshold);
        notice.thresholdCaption = QString::fromUtf8(ThresholdCaption(alert.kind));
        m_lastAlertPosition = *position;
        emit alertRaised(notice);
    }
}

} // namespace velmora
