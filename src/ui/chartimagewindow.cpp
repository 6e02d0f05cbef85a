#include "ui/chartimagewindow.h"

#include "core/chartaddress.h"
#include "platform/appicon.h"
#include "services/chartimagefeed.h"

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTime>
#include <QVBoxLayout>

namespace velmora {

ChartImageWindow::ChartImageWindow(const QString &siteDomain, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("chartImageWindow"));
    // The same caption as the browser-based viewer: the user sees one chart window either way.
    setWindowTitle(QString::fromStdString(ChartViewerCaption(siteDomain.toStdString())));
    setWindowIcon(AppIcon());
    // The program lives in the tray: closing the chart must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumSize(kMinWidth, kMinHeight);

    auto *layout = new QVBoxLayout(this);
    m_image = new QLabel(this);
    m_image->setObjectName(QStringLiteral("chartImage"));
    m_image->setAlignment(Qt::AlignCenter);
    m_image->setAccessibleName(QStringLiteral("分时图"));
    layout->addWidget(m_image, 1);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("chartStatus"));
    m_status->setTextFormat(Qt::PlainText); // a server's words are never markup
    layout->addWidget(m_status);
}

ChartImageWindow::~ChartImageWindow() = default;

void ChartImageWindow::follow(ChartImageFeed &feed)
{
    connect(&feed, &ChartImageFeed::imageReady, this,
            [this, &feed](const QImage &image) { showImage(feed.symbol(), image); });
    connect(&feed, &ChartImageFeed::failed, this,
            [this, &feed](const QString &why) { showFailure(feed.symbol(), why); });
    connect(this, &ChartImageWindow::closed, &feed, &ChartImageFeed::stop);
}

void ChartImageWindow::present(const QString &symbol)
{
    showPending(symbol);
    show();
    raise();
    activateWindow();
}

void ChartImageWindow::showImage(const QString &symbol, const QImage &image)
{
    m_shownSymbol = symbol;
    m_image->setPixmap(QPixmap::fromImage(image));
    m_image->setMinimumSize(image.size());
    m_status->setText(QStringLiteral("%1 · 更新于 %2")
                          .arg(symbol, QTime::currentTime().toString(QStringLiteral("HH:mm"))));
    // Grow to fit, never shrink: a window the user enlarged stays as large.
    resize(size().expandedTo(sizeHint()));
}

void ChartImageWindow::showFailure(const QString &symbol, const QString &why)
{
    forgetOtherStock(symbol);
    m_status->setText(QStringLiteral("%1 · %2").arg(symbol, why));
}

void ChartImageWindow::showPending(const QString &symbol)
{
    forgetOtherStock(symbol);
    m_status->setText(QStringLiteral("%1 · 正在获取分时图…").arg(symbol));
}

void ChartImageWindow::forgetOtherStock(const QString &symbol)
{
    // Another stock's chart under this one's name would mislead.
    if (symbol == m_shownSymbol)
        return;
    m_shownSymbol.clear();
    m_image->clear();
    m_image->setMinimumSize(0, 0);
}

void ChartImageWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    emit closed();
}

} // namespace velmora
