#include "services/chartviewer.h"

#include "core/chartaddress.h"
#include "platform/openurl.h"
#include "services/viewerprocess.h"
#include "watchlist/watchlist.h"

#include <algorithm>
#include <optional>

namespace velmora {

ChartViewer::ChartViewer(const WatchList &list, QUrl chartBase, QString siteDomain,
                         std::unique_ptr<ViewerLauncher> launcher, QObject *parent)
    : QObject(parent), m_list(list), m_chartBase(std::move(chartBase)),
      m_launcher(std::move(launcher))
{
    setObjectName(QStringLiteral("chartViewer"));
    if (!m_launcher) {
        m_launcher = std::make_unique<ProcessViewerLauncher>(
            FindViewerExecutable(ViewerSearchDirs()), siteDomain);
    }
}

// The viewer is our child: leaving takes its process along.
ChartViewer::~ChartViewer() = default;

ViewerInstance *ChartViewer::ensureViewer()
{
    if (m_viewer)
        return m_viewer;
    if (!m_launcher || !m_launcher->available())
        return nullptr;
    ViewerInstance *viewer = m_launcher->launch(this);
    m_viewer = viewer;
    // A closed viewer is forgotten, so the next "查看分时" creates one anew.
    connect(viewer, &ViewerInstance::closed, this, [this, viewer] {
        if (m_viewer == viewer)
            m_viewer = nullptr;
    });
    connect(viewer, &ViewerInstance::unavailable, this, [this, viewer](const QUrl &lastUrl) {
        if (m_viewer == viewer)
            m_viewer = nullptr;
        if (!lastUrl.isEmpty())
            openInBrowser(lastUrl);
    });
    connect(viewer, &ViewerInstance::pageLoaded, this, &ChartViewer::pageLoaded);
    return viewer;
}

void ChartViewer::openInBrowser(const QUrl &url)
{
    OpenInBrowser(url);
}

ActionResult ChartViewer::show(const QList<int> &positions, bool publicSource)
{
    if (!publicSource) {
        showCharts(positions);
        return ActionResult::done();
    }
    // The image shows one stock: the last selected row's, as the viewer ends on it.
    std::optional<int> last;
    for (const int position : positions) {
        if (position >= 0 && position < m_list.rowCount() && (!last || position > *last))
            last = position;
    }
    if (!last)
        return ActionResult::done();
    std::string why;
    const auto symbol = ChartImageSymbol(m_list.rowAt(*last).entry.code, &why);
    if (!symbol)
        return ActionResult::refused(QString::fromStdString(why));
    emit imageWanted(*symbol);
    return ActionResult::done();
}

void ChartViewer::showCharts(QList<int> positions)
{
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    const std::string base = m_chartBase.toString(QUrl::FullyEncoded).toStdString();
    QUrl last;
    for (const int row : std::as_const(positions)) {
        if (row < 0 || row >= m_list.rowCount())
            continue;
        const QUrl url = QUrl::fromEncoded(
            QByteArray::fromStdString(BuildChartUrl(base, m_list.rowAt(row).entry.code)),
            QUrl::StrictMode);
        ViewerInstance *viewer = ensureViewer();
        if (!viewer) {
            last = url;
            continue;
        }
        viewer->show();
        viewer->navigate(url);
    }
    // No viewer to start: the browser shows the chart the viewer would have ended on.
    if (!last.isEmpty())
        openInBrowser(last);
}

} // namespace velmora
