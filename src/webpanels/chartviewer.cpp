#include "webpanels/chartviewer.h"

#include "mainwin/form1.h"
#include "mainwin/watchlistmodel.h"
#include "platform/openurl.h"
#include "webpanels/chartaddress.h"
#include "webpanels/viewerprocess.h"

#include <QAbstractItemView>
#include <QAction>
#include <QItemSelectionModel>
#include <QTreeView>

#include <set>

namespace velmora {

ChartViewer::ChartViewer(QAbstractItemView *list, const WatchListModel *model, QUrl chartBase,
                         std::unique_ptr<ViewerLauncher> launcher, QObject *parent)
    : QObject(parent), m_list(list), m_model(model), m_chartBase(std::move(chartBase)),
      m_launcher(std::move(launcher))
{
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

void ChartViewer::mnu23_Click()
{
    if (!m_list || !m_list->selectionModel())
        return;
    std::set<int> selected; // in list order
    for (const QModelIndex &index : m_list->selectionModel()->selectedIndexes())
        selected.insert(index.row());

    const std::string base = m_chartBase.toString(QUrl::FullyEncoded).toStdString();
    QUrl last;
    for (const int row : selected) {
        if (row < 0 || row >= m_model->rowCount())
            continue;
        const QUrl url = QUrl::fromEncoded(
            QByteArray::fromStdString(BuildChartUrl(base, m_model->rowAt(row).entry.code)),
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

ChartViewer *AttachChartViewer(Form1 &form, std::unique_ptr<ViewerLauncher> launcher)
{
    if (!launcher) {
        launcher = std::make_unique<ProcessViewerLauncher>(
            FindViewerExecutable(ViewerSearchDirs()), form.settings().siteHost());
    }
    auto *viewer = new ChartViewer(form.listView(), form.model(), form.settings().chartBase,
                                   std::move(launcher), &form);
    viewer->setObjectName(QStringLiteral("chartViewer"));
    if (QAction *mnu23 = form.action("mnu23"))
        QObject::connect(mnu23, &QAction::triggered, viewer, &ChartViewer::mnu23_Click);
    return viewer;
}

} // namespace velmora
