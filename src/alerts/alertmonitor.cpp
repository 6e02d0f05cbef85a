#include "alerts/alertmonitor.h"

#include "alerts/alertrule.h"
#include "alerts/alertwindow.h"
#include "mainwin/form1.h"
#include "mainwin/watchlistmodel.h"
#include "quotes/quotereply.h"

#include <QAction>
#include <QTimer>

namespace velmora {

AlertMonitor::AlertMonitor(Form1 *form)
    : QObject(form), m_form(form), m_inet2(new QuoteFetcher(this))
{
    setObjectName(QStringLiteral("alertMonitor"));
    // Inet2 is the monitor's own: alerts never share requests or answers with the refresh.
    m_inet2->setObjectName(QStringLiteral("Inet2"));
    connect(m_inet2, &QuoteFetcher::finished, this, &AlertMonitor::onFetched);

    // Alerts are off at every start of the program.
    QTimer *timer2 = form->timer2();
    timer2->stop();
    connect(timer2, &QTimer::timeout, this, &AlertMonitor::Timer2_Timer);

    // The tray menu's two alert items; the rest of the tray is built elsewhere.
    if (QAction *on = form->action("mn19"))
        connect(on, &QAction::triggered, this, &AlertMonitor::mn19_Click);
    if (QAction *off = form->action("mn20"))
        connect(off, &QAction::triggered, this, &AlertMonitor::mn20_Click);
}

AlertMonitor::~AlertMonitor() = default;

// 预警开: the first check comes one interval later. Choosing it again while alerts are on
// changes nothing (restarting the timer would only put the next check off).
void AlertMonitor::mn19_Click()
{
    QTimer *timer2 = m_form->timer2();
    if (!timer2->isActive())
        timer2->start();
}

// 预警关 and the alert window's 关闭预警: no tick, and no answer still on its way, may raise an
// alert after this. An open alert window stays open.
void AlertMonitor::mn20_Click()
{
    m_form->timer2()->stop();
    m_inet2->abortAll();
    forgetRequests();
}

void AlertMonitor::forgetRequests()
{
    m_waiting.clear();
    m_waitingRows.clear();
    m_thisTick.clear();
    m_answers.clear();
    m_collecting = false;
}

void AlertMonitor::Timer2_Timer()
{
    // The previous tick's check has waited long enough: rows still unanswered raise nothing
    // in it, and their answers are dropped when they come.
    if (m_collecting)
        evaluate();

    const WatchListModel *model = m_form->model();
    m_thisTick.clear();
    m_answers.clear();
    m_collecting = true;
    m_asking = true;
    for (int i = 0; i < model->rowCount(); ++i) {
        const WatchRow &row = model->rowAt(i);
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

void AlertMonitor::fetchRow(std::uint64_t rowId, const std::string &code)
{
    const std::string base =
        m_form->settings().quoteBase.toString(QUrl::FullyEncoded).toStdString();
    const QUrl url =
        QUrl::fromEncoded(QByteArray::fromStdString(BuildQuoteUrl(base, code)), QUrl::StrictMode);
    const QuoteFetcher::Ticket ticket = m_inet2->fetch(url);
    m_waiting.emplace(ticket, rowId);
    m_waitingRows.insert(rowId);
    m_thisTick.emplace(ticket, rowId);
}

void AlertMonitor::onFetched(QuoteFetcher::Ticket ticket, const FetchResult &result)
{
    const auto waiting = m_waiting.find(ticket);
    if (waiting == m_waiting.end())
        return; // asked before alerts were switched off: dropped
    const std::uint64_t rowId = waiting->second;
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

// The two tests for every answered row, in list order; each alert shows the window and then
// rewrites it, so the window ends on the last alert of the list. Rows are read afresh here: a
// row removed meanwhile is skipped, and the name is the list's name cell at this moment.
void AlertMonitor::evaluate()
{
    m_collecting = false;
    m_thisTick.clear();
    const auto answers = std::move(m_answers);
    m_answers.clear();

    const WatchListModel *model = m_form->model();
    for (int i = 0; i < model->rowCount(); ++i) {
        const auto answer = answers.find(model->rowAt(i).id);
        if (answer == answers.end())
            continue;
        const std::string takeProfit = model->text(i, WatchListModel::TakeProfit).toStdString();
        const std::string stopLoss = model->text(i, WatchListModel::StopLoss).toStdString();
        for (const Alert &alert : EvaluateAlerts(answer->second, takeProfit, stopLoss)) {
            AlertWindow *tx = window();
            tx->showAlert();
            tx->setAlert(model->text(i, WatchListModel::Code),
                         model->text(i, WatchListModel::Name),
                         QString::fromStdString(answer->second.value_or(std::string())),
                         QString::fromStdString(alert.threshold),
                         QString::fromUtf8(ThresholdCaption(alert.kind)));
        }
    }
    emit checked();
}

AlertWindow *AlertMonitor::window()
{
    if (!m_window) {
        m_window = std::make_unique<AlertWindow>(m_form->settings());
        connect(m_window.get(), &AlertWindow::alertsOffRequested, this,
                &AlertMonitor::mn20_Click);
    }
    return m_window.get();
}

} // namespace velmora
