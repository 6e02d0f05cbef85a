#include "app/ondemandwindows.h"

#include "app/desktopintegration.h"
#include "platform/openurl.h"
#include "services/alerthistory.h"
#include "services/alertmonitor.h"
#include "services/chartimagefeed.h"
#include "services/listactions.h"
#include "services/stocklookup.h"
#include "ui/addstockdialog.h"
#include "ui/alertlogwindow.h"
#include "ui/alertwindow.h"
#include "ui/chartimagewindow.h"
#include "ui/discreetmode.h"
#include "ui/holdingswindow.h"
#include "ui/mainwindow.h"
#include "ui/restoredialog.h"
#include "ui/resultmessage.h"
#include "watchlist/watchlist.h"

namespace velmora {

OnDemandWindows::OnDemandWindows(Parts parts, QObject *parent) : QObject(parent), m_parts(parts) {}

OnDemandWindows::~OnDemandWindows()
{
    // The dialog has no owner window; it must not outlive the list it adds to.
    delete m_addDialog.data();
}

AddStockDialog *OnDemandWindows::addDialog() const
{
    // A dialog that was closed is hidden until its deletion comes round: it counts as gone.
    return m_addDialog && m_addDialog->isVisible() ? m_addDialog.data() : nullptr;
}

void OnDemandWindows::openAddDialog()
{
    if (const auto refusal = m_parts.actions.refusalBeforeAsking(WatchListChange::Add))
        return ShowResult(&m_parts.mainWindow, ActionResult::refused(*refusal));
    if (AddStockDialog *open = addDialog())
        return BringUp(open); // shown again as it is: not reset, not placed anew
    AddStockDialog *dialog =
        new AddStockDialog(new StockLookup(m_parts.policy), m_parts.settings.siteHost());
    m_addDialog = dialog;
    connect(dialog, &AddStockDialog::siteRequested, this,
            [this] { OpenInBrowser(m_parts.settings.siteBase); });
    connect(dialog, &AddStockDialog::addRequested, this, [this, dialog](const WatchEntry &entry) {
        const ActionResult result = m_parts.actions.add(entry);
        dialog->addFinished(result.ok);
        ShowResult(dialog, result);
    });
    dialog->placeBelow(m_parts.mainWindow.frameGeometry());
    dialog->show();
    dialog->activateWindow();
}

void OnDemandWindows::openRestore()
{
    if (const auto refusal = m_parts.actions.refusalBeforeAsking(WatchListChange::Restore))
        return ShowResult(&m_parts.mainWindow, ActionResult::refused(*refusal));
    m_restoreDialog = std::make_unique<RestoreDialog>(m_parts.list.snapshots());
    connect(m_restoreDialog.get(), &RestoreDialog::restoreRequested, this,
            [this](const std::string &name) {
                ShowResult(&m_parts.mainWindow, m_parts.actions.restore(name));
            });
    BringUp(m_restoreDialog.get());
}

void OnDemandWindows::openHoldings(int position)
{
    WatchList &list = m_parts.list;
    if (position < 0 || position >= list.rowCount())
        return;
    if (!m_holdingsWindow) {
        m_holdingsWindow = std::make_unique<HoldingsWindow>();
        connect(
            m_holdingsWindow.get(), &HoldingsWindow::lotsChanged, this,
            [this](const std::string &code, const std::vector<std::array<std::string, 3>> &lots) {
                ShowResult(m_holdingsWindow.get(), m_parts.actions.setLots(code, lots));
                m_holdingsWindow->showLots(code, m_holdingsWindow->title(),
                                           m_parts.list.lotsOf(code));
            });
    }
    const WatchRow &row = list.rowAt(position);
    m_holdingsWindow->showLots(row.entry.code,
                               list.text(position, WatchList::Code) + QLatin1Char(' ') +
                                   QString::fromStdString(row.quote.name),
                               list.lotsOf(row.entry.code));
    BringUp(m_holdingsWindow.get());
}

void OnDemandWindows::openAlertLog()
{
    AlertHistory &history = m_parts.history;
    if (!m_alertLogWindow) {
        m_alertLogWindow = std::make_unique<AlertLogWindow>();
        AlertLogWindow *window = m_alertLogWindow.get();
        connect(window, &AlertLogWindow::clearRequested, this, [&history, window] {
            ShowResult(window, history.clear());
            window->showRecords(history.records());
        });
        connect(window, &AlertLogWindow::exportRequested, this,
                [&history, window](const QString &path) {
                    ShowResult(window, history.exportTo(path));
                });
        connect(&history, &AlertHistory::recorded, window, [&history, window] {
            if (window->isVisible())
                window->showRecords(history.records());
        });
    }
    m_alertLogWindow->showRecords(history.records());
    BringUp(m_alertLogWindow.get());
    if (!history.lastReadProblem().isEmpty())
        ShowResult(m_alertLogWindow.get(), ActionResult::refused(history.lastReadProblem()));
}

void OnDemandWindows::showChartImage(const std::string &symbol)
{
    if (!m_chartImageWindow) {
        m_chartImageWindow = std::make_unique<ChartImageWindow>(m_parts.settings.siteHost());
        m_chartImageWindow->follow(m_parts.chartImages);
    }
    m_chartImageWindow->present(QString::fromStdString(symbol));
    m_parts.chartImages.show(symbol);
}

void OnDemandWindows::showAlert(const AlertNotice &alert)
{
    if (m_parts.desktop.discreet().active())
        return;
    if (!m_alertWindow) {
        m_alertWindow =
            std::make_unique<AlertWindow>(m_parts.settings.siteHost(), m_parts.settings.demo);
        connect(m_alertWindow.get(), &AlertWindow::alertsOffRequested, &m_parts.alertMonitor,
                &AlertMonitor::disableAlerts);
        connect(m_alertWindow.get(), &AlertWindow::siteRequested, this,
                [this] { m_parts.desktop.openSitePage(QStringLiteral("/")); });
    }
    m_alertWindow->presentAlert(alert);
}

void OnDemandWindows::setDemo(bool demo)
{
    if (m_alertWindow)
        m_alertWindow->setDemo(demo);
}

} // namespace velmora
