#pragma once

#include <QUrl>
#include <QWidget>

class QWebEngineView;

namespace velmora {

// The chart viewer window llq: one browser view WebBrowser1 at a fixed place and size. The
// window has no handlers of its own; resizing it leaves the view as it is.
class ViewerWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ViewerWindow(const QString &siteDomain, QWidget *parent = nullptr);

    // Show: modeless, brought to the front (and out of the taskbar when it was minimised).
    void showViewer();
    // Navigate WebBrowser1.
    void navigate(const QUrl &url);

    QWebEngineView *browser() const { return m_browser; }

signals:
    void loadFinished(const QUrl &url, bool ok);

private:
    QWebEngineView *m_browser;
};

} // namespace velmora
