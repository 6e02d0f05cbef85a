#pragma once

#include "services/actionresult.h"
#include "services/viewerlauncher.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <string>

namespace velmora {

class WatchList;

// "查看分时": shows the chart viewer window on rows' chart pages. The viewer is created on
// first use, reused while its window is open and created anew after it was closed. Without a
// viewer to start, the chart page opens in the user's browser instead.
class ChartViewer final : public QObject
{
    Q_OBJECT

public:
    // Without a launcher, the viewer process of ours.
    ChartViewer(const WatchList &list, QUrl chartBase, QString siteDomain,
                std::unique_ptr<ViewerLauncher> launcher = {}, QObject *parent = nullptr);
    ~ChartViewer() override;

    // 查看分时 for the rows at these positions: with a public source the chart image of the last
    // one (imageWanted), which says why when its code cannot be asked; otherwise the viewer.
    ActionResult show(const QList<int> &positions, bool publicSource);
    // For every given row, in list order: show the viewer and navigate it to the row's chart
    // page, so the last row's chart remains. No row: nothing opens.
    void showCharts(QList<int> positions);

    // The open viewer, if any.
    ViewerInstance *viewer() const { return m_viewer; }

signals:
    // Passed on from the open viewer.
    void pageLoaded(const QUrl &url, bool ok);
    // The public chart image of this market symbol ("sh600519") is to be shown.
    void imageWanted(const std::string &symbol);

private:
    ViewerInstance *ensureViewer();
    void openInBrowser(const QUrl &url);

    const WatchList &m_list;
    QUrl m_chartBase;
    std::unique_ptr<ViewerLauncher> m_launcher;
    QPointer<ViewerInstance> m_viewer;
};

} // namespace velmora
