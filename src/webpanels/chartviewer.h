#pragma once

#include "webpanels/viewerlauncher.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class QAbstractItemView;

namespace velmora {

class Form1;
class WatchListModel;

// "查看分时" (mnu23): shows the chart viewer llq on the selected rows' chart pages. The viewer
// is created on first use, reused while its window is open and created anew after it was
// closed. Without a viewer to start, the chart page opens in the user's browser instead.
class ChartViewer : public QObject
{
    Q_OBJECT

public:
    ChartViewer(QAbstractItemView *list, const WatchListModel *model, QUrl chartBase,
                std::unique_ptr<ViewerLauncher> launcher, QObject *parent = nullptr);
    ~ChartViewer() override;

    // For every selected row in list order: Show the viewer and Navigate it to the row's chart
    // page, so the last selected row's chart remains. No selected row: nothing opens.
    void mnu23_Click();

    // The open viewer, if any.
    ViewerInstance *viewer() const { return m_viewer; }

signals:
    // Passed on from the open viewer.
    void pageLoaded(const QUrl &url, bool ok);

private:
    ViewerInstance *ensureViewer();
    void openInBrowser(const QUrl &url);

    QPointer<QAbstractItemView> m_list;
    const WatchListModel *m_model;
    QUrl m_chartBase;
    std::unique_ptr<ViewerLauncher> m_launcher;
    QPointer<ViewerInstance> m_viewer;
};

// Wires "查看分时" of the main window; without a launcher, the viewer process of ours.
ChartViewer *AttachChartViewer(Form1 &form, std::unique_ptr<ViewerLauncher> launcher = {});

} // namespace velmora
