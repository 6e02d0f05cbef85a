#include "chartviewer/viewerwindow.h"

#include "platform/screenmetrics.h"
#include "webpanels/chartaddress.h"

#include <QIcon>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace velmora {

ViewerWindow::ViewerWindow(const QString &siteDomain, QWidget *parent)
    : QWidget(parent), m_browser(new QWebEngineView(this))
{
    setObjectName(QStringLiteral("llq"));
    setWindowTitle(QString::fromStdString(ChartViewerCaption(siteDomain.toStdString())));
    QIcon icon;
    icon.addFile(QStringLiteral(":/velmora/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/velmora/icon32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/velmora/icon64.png"), QSize(64, 64));
    setWindowIcon(icon);
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
