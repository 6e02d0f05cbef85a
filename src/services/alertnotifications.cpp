#include "services/alertnotifications.h"

#include "platform/desktopnotifier.h"
#include "platform/textcodec.h"
#include "services/alertmonitor.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

#include <QStringList>

namespace velmora {

AlertNotifications::AlertNotifications(const WatchList &list, AlertMonitor &monitor,
                                       const SourcePolicy &policy, DesktopNotifier &notifier,
                                       QObject *parent)
    : QObject(parent), m_list(list), m_policy(policy), m_notifier(notifier)
{
    setObjectName(QStringLiteral("alertNotifications"));
    connect(&monitor, &AlertMonitor::replyChecked, this, &AlertNotifications::onReplyChecked);
    connect(&monitor, &AlertMonitor::alertsSwitchedOn, this,
            [this](qint64 atMs) { m_crossings.enable(atMs); });
    connect(&monitor, &AlertMonitor::alertsSwitchedOff, this, [this] { m_crossings.disable(); });
    connect(&list, &WatchList::thresholdsChanged, this,
            [this](RowId row) { m_crossings.thresholdsChanged(row); });
}

void AlertNotifications::setEnabled(bool notifications, bool sound)
{
    m_enabled = notifications;
    m_sound = sound;
}

void AlertNotifications::setHeld(bool held)
{
    if (held == m_holding)
        return;
    m_holding = held;
    if (held || m_held.empty())
        return;
    const QString summary = QStringLiteral("隐身期间有 %1 条预警").arg(m_held.size());
    QStringList lines;
    constexpr std::size_t kListed = 5;
    for (std::size_t i = 0; i < m_held.size() && i < kListed; ++i)
        lines << m_held[i];
    if (m_held.size() > kListed)
        lines << QStringLiteral("等 %1 条").arg(m_held.size());
    m_held.clear();
    if (m_enabled)
        m_notifier.notify(summary, lines.join(QLatin1Char('\n')), m_sound);
}

void AlertNotifications::onReplyChecked(RowId row, qint64 sentAtMs, qint64 quoteAgeMs,
                                        const std::optional<std::string> &price,
                                        const std::string &takeProfit, const std::string &stopLoss)
{
    // Compared whether or not notifications are wanted, so switching them on later does not
    // count a long-held price as a fresh crossing.
    const std::vector<Alert> crossed = m_crossings.compare(
        {row, sentAtMs, quoteAgeMs, price, takeProfit, stopLoss},
        2 * std::int64_t(m_policy.intervalSeconds()) * 1000);
    const WatchRow *watched = m_list.rowById(row);
    if (!m_enabled || !watched)
        return;
    // The row's name, unless it still waits for its first quote.
    QString name = QString::fromStdString(watched->quote.name);
    if (name == WatchList::placeholder())
        name.clear();
    const QString stock = DecodeStored(watched->entry.code) + QLatin1Char(' ') + name;
    for (const Alert &alert : crossed) {
        const bool takeProfitSide = alert.kind == AlertKind::TakeProfit;
        const QString summary =
            stock.trimmed() + (takeProfitSide ? QStringLiteral(" 突破止盈价") : QStringLiteral(" 跌破止损价"));
        const QString body = QStringLiteral("最新价 %1，%2 %3")
                                 .arg(QString::fromStdString(price.value_or(std::string())),
                                      takeProfitSide ? QStringLiteral("止盈价") : QStringLiteral("止损价"),
                                      QString::fromStdString(alert.threshold));
        if (m_holding)
            m_held.push_back(summary + QLatin1Char(' ') + QString::fromStdString(price.value_or(std::string())));
        else
            m_notifier.notify(summary, body, m_sound);
    }
}

} // namespace velmora
