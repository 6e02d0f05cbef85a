#include "services/alertnotifications.h"

#include "platform/desktopnotifier.h"
#include "platform/textcodec.h"
#include "services/alerthistory.h"
#include "services/alertmonitor.h"
#include "core/tradingclock.h"
#include "services/sourcepolicy.h"
#include "watchlist/watchlist.h"

#include <QDateTime>
#include <QStringList>

namespace velmora {

namespace {

// A percent as the settings keep it (a double from a spin box) read exactly, to two decimals.
Decimal percentOf(double value)
{
    return Decimal::parse(QString::number(value, 'f', 2).toStdString()).value_or(Decimal());
}

} // namespace

AlertNotifications::AlertNotifications(const WatchList &list, AlertMonitor &monitor,
                                       const SourcePolicy &policy, DesktopNotifier &notifier,
                                       AlertHistory &history, QObject *parent)
    : QObject(parent), m_list(list), m_policy(policy), m_notifier(notifier), m_history(history)
{
    setObjectName(QStringLiteral("alertNotifications"));
    connect(&monitor, &AlertMonitor::replyChecked, this, &AlertNotifications::onReplyChecked);
    connect(&monitor, &AlertMonitor::alertsSwitchedOn, this, [this](qint64 atMs) {
        m_crossings.enable(atMs);
        m_steps.reset();
    });
    connect(&monitor, &AlertMonitor::alertsSwitchedOff, this, [this] { m_crossings.disable(); });
    connect(&list, &WatchList::thresholdsChanged, this,
            [this](RowId row) { m_crossings.thresholdsChanged(row); });
}

void AlertNotifications::setEnabled(bool notifications, bool sound)
{
    m_enabled = notifications;
    m_sound = sound;
}

void AlertNotifications::setLimits(double deadBandPercent, double changeStepPercent)
{
    m_crossings.setDeadBand(percentOf(deadBandPercent));
    m_steps.setStep(percentOf(changeStepPercent));
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
                                        const std::optional<Quote> &quote,
                                        const std::string &takeProfit, const std::string &stopLoss)
{
    // Compared whether or not notifications are wanted, so switching them on later does not
    // count a long-held price as a fresh crossing.
    const qint64 staleAfterMs = 2 * std::int64_t(m_policy.intervalSeconds()) * 1000;
    const std::optional<std::string> price = quote ? std::optional(quote->price) : std::nullopt;
    const std::vector<Alert> crossed =
        m_crossings.compare({row, sentAtMs, quoteAgeMs, price, takeProfit, stopLoss}, staleAfterMs);
    const WatchRow *watched = m_list.rowById(row);
    if (!watched)
        return;
    for (const Alert &alert : crossed) {
        const bool takeProfitSide = alert.kind == AlertKind::TakeProfit;
        const QString side = takeProfitSide ? QStringLiteral("突破止盈价") : QStringLiteral("跌破止损价");
        const QString threshold = QString::fromStdString(alert.threshold);
        tell(*watched, *price,
             {side, QStringLiteral("最新价 %1，%2 %3")
                        .arg(QString::fromStdString(*price),
                             takeProfitSide ? QStringLiteral("止盈价") : QStringLiteral("止损价"), threshold),
             (side + QLatin1Char(' ') + threshold).toStdString()});
    }
    // The day's move in steps: only from a fresh quote of a market trading today.
    if (!quote || !m_crossings.enabled() || quoteAgeMs > staleAfterMs || !TellsTodaysMove(*quote, m_policy.now()))
        return;
    std::string change = quote->change;
    if (!change.empty() && change.back() == '%')
        change.pop_back();
    const auto percent = Decimal::parse(change);
    if (!percent)
        return;
    if (const auto level = m_steps.reached(row, quote->date.empty() ? MarketDate(MarketClock(quote->market, m_policy.now()))
                                                                     : quote->date,
                                           *percent)) {
        const QString reached = QString::fromStdString(ChangeStepText(*level));
        tell(*watched, quote->price,
             {reached, QStringLiteral("最新价 %1，涨跌幅 %2").arg(QString::fromStdString(quote->price),
                                                                  QString::fromStdString(quote->change)),
              reached.toStdString()});
    }
}

// One alert: into the history first, then a notification, or held while discreet.
void AlertNotifications::tell(const WatchRow &row, const std::string &price, const Told &told)
{
    // The row's name, unless it still waits for its first quote.
    QString name = QString::fromStdString(row.quote.name);
    if (name == WatchList::placeholder())
        name.clear();
    const QString code = DecodeStored(row.entry.code);
    m_history.record({QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
                      code.toStdString(), name.toStdString(), price, told.condition});
    if (!m_enabled)
        return;
    const QString summary = (code + QLatin1Char(' ') + name).trimmed() + QLatin1Char(' ') + told.summary;
    if (m_holding)
        m_held.push_back(summary + QLatin1Char(' ') + QString::fromStdString(price));
    else
        m_notifier.notify(summary, told.body, m_sound);
}

} // namespace velmora
