#include "chartviewer/viewerwindow.h"

#include "core/chartaddress.h"
#include "platform/appicon.h"
#include "platform/screenmetrics.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace velmora {

ViewerWindow::ViewerWindow(const QString &siteDomain, QWidget *parent)
    : QWidget(parent), m_browser(new QWebEngineView(this))
{
    setObjectName(QStringLiteral("llq"));
    setWindowTitle(QString::fromStdString(ChartViewerCaption(siteDomain.toStdString())));
    setWindowIcon(AppIcon());
    resize(TwipsToPixels(13755), TwipsToPixels(9720));

    // No layout: the view keeps its place and size whatever the window's size.
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));
    m_browser->setGeometry(0, 0, TwipsToPixels(13695), TwipsToPixels(9615));
    // Create the page now, so an engine that cannot start fails before we report ready.
    QWebEnginePage *page = m_browser->page();
    connect(page, &QWebEnginePage::loadFinished, this,
            [this, page](bool ok) { emit loadFinished(page->requestedUrl(), ok); });
}

void ViewerWindow::showViewer()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void ViewerWindow::navigate(const QUrl &url)
{
    m_browser->load(url);
}

} // namespace velmora
