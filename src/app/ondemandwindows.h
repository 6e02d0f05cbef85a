#pragma once

#include "platform/settings.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

namespace velmora {

class AddStockDialog;
class AlertHistory;
class AlertLogWindow;
class AlertMonitor;
class AlertWindow;
class ChartImageFeed;
class ChartImageWindow;
class DesktopIntegration;
class HoldingsWindow;
class ListActions;
class MainWindow;
class RestoreDialog;
class SourcePolicy;
class WatchList;
struct AlertNotice;

// The windows that open when asked for: the add dialog, 恢复…, 持仓…, 预警记录, the chart
// image and the alert window. Each is made the first time, then shown again; what the user does
// in it goes to the list's actions or the alert history, and what came of it is told over it.
class OnDemandWindows final : public QObject
{
    Q_OBJECT

public:
    // What the windows show and hand their requests to: all owned by the application.
    struct Parts
    {
        const AppSettings &settings;
        WatchList &list;
        ListActions &actions;
        SourcePolicy &policy;
        AlertMonitor &alertMonitor;
        AlertHistory &history;
        ChartImageFeed &chartImages;
        DesktopIntegration &desktop;
        MainWindow &mainWindow;
    };

    explicit OnDemandWindows(Parts parts, QObject *parent = nullptr);
    ~OnDemandWindows() override;

    // A fresh add dialog when none is open, else the open one again, as it is.
    void openAddDialog();
    void openRestore();
    void openHoldings(int position);
    // 预警记录: every alert told so far, newest first.
    void openAlertLog();
    void showChartImage(const std::string &symbol);
    // Held while discreet: the notifications tell of it when discreet mode ends.
    void showAlert(const AlertNotice &alert);
    void setDemo(bool demo);

    // Created by the first alert.
    AlertWindow *alertWindow() const { return m_alertWindow.get(); }
    // The open add dialog; a closed one counts as gone.
    AddStockDialog *addDialog() const;
    RestoreDialog *restoreDialog() const { return m_restoreDialog.get(); }
    HoldingsWindow *holdingsWindow() const { return m_holdingsWindow.get(); }
    AlertLogWindow *alertLogWindow() const { return m_alertLogWindow.get(); }
    ChartImageWindow *chartImageWindow() const { return m_chartImageWindow.get(); }

private:
    Parts m_parts;
    std::unique_ptr<AlertWindow> m_alertWindow;
    std::unique_ptr<RestoreDialog> m_restoreDialog;
    std::unique_ptr<ChartImageWindow> m_chartImageWindow;
    std::unique_ptr<HoldingsWindow> m_holdingsWindow;
    std::unique_ptr<AlertLogWindow> m_alertLogWindow;
    QPointer<AddStockDialog> m_addDialog;
};

} // namespace velmora
