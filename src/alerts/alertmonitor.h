#pragma once

#include "platform/quotefetcher.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace velmora {

class AlertWindow;
class Form1;

// The price alerts: while Timer2 runs, every row is fetched afresh through Inet2 at every tick
// and checked against its take-profit and stop-loss; each alert shows and fills the one alert
// window. Nothing is remembered between ticks, so a price that stays beyond its threshold
// alerts again at every tick until alerts are switched off.
class AlertMonitor : public QObject
{
    Q_OBJECT

public:
    explicit AlertMonitor(Form1 *form);
    ~AlertMonitor() override;

    QuoteFetcher *inet2() const { return m_inet2; }
    // The alert window, once the first alert created it.
    AlertWindow *alertWindow() const { return m_window.get(); }

    void mn19_Click(); // 预警开
    void mn20_Click(); // 预警关, also the alert window's 关闭预警
    void Timer2_Timer();

signals:
    // One tick's check is done (all its answers in, or the next tick came first).
    void checked();

private:
    void onFetched(QuoteFetcher::Ticket ticket, const FetchResult &result);
    void evaluate();
    void fetchRow(std::uint64_t rowId, const std::string &code);
    void forgetRequests();
    AlertWindow *window();

    Form1 *m_form;
    QuoteFetcher *m_inet2;
    std::unique_ptr<AlertWindow> m_window;

    // Every request on the wire, by ticket: the row it was asked for. A row with an entry here
    // is still waiting and is not asked again.
    std::map<QuoteFetcher::Ticket, std::uint64_t> m_waiting;
    std::set<std::uint64_t> m_waitingRows;
    // The requests of the tick now being collected; late answers of earlier ticks are not here.
    std::map<QuoteFetcher::Ticket, std::uint64_t> m_thisTick;
    // This tick's answers by row: the latest price, or nothing when none could be had.
    std::map<std::uint64_t, std::optional<std::string>> m_answers;
    bool m_collecting = false;
    bool m_asking = false; // inside the tick's loop over the rows
};

} // namespace velmora
