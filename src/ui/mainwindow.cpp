#include "ui/mainwindow.h"

#include "platform/appicon.h"
#include "platform/filechooser.h"
#include "platform/messages.h"
#include "platform/screenmetrics.h"
#include "ui/brand.h"
#include "ui/holdingstext.h"
#include "ui/listcolumns.h"
#include "ui/listsortproxy.h"
#include "ui/thresholddelegate.h"
#include "ui/trenddelegate.h"
#include "watchlist/watchlist.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTreeView>
#include <QWindow>

#include <algorithm>

namespace velmora {

QString MainWindow::captionFor(const QString &siteHost, bool demo, const QString &sourceTitle)
{
    return QStringLiteral("Velmora  By Tesquin Orlentis——") +
           (siteHost.isEmpty() ? sourceTitle : siteHost) + DemoSuffix(demo);
}

MainWindow::MainWindow(WatchList &list, const QString &siteHost, bool demo, QWidget *parent)
    : QWidget(parent), m_list(list), m_siteHost(siteHost)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(captionFor(siteHost, demo));
    setWindowIcon(AppIcon());
    setAccessibleName(windowTitle());
    resize(TwipsToPixels(6780), TwipsToPixels(3735));
    buildControls();
    buildContextMenu();
    setUpColumns();
}

MainWindow::~MainWindow()
{
    // The viewport still sends events while the window is torn down.
    if (m_viewport)
        m_viewport->removeEventFilter(this);
}

void MainWindow::buildControls()
{
    // No layout: the list and the strip keep their places whatever the window's size.
    m_listView = new QTreeView(this);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setAccessibleName(QStringLiteral("自选股列表"));
    // The view may show its own order; the list and its files keep theirs.
    m_order = new ListSortProxy(this);
    m_order->setSourceModel(&m_list);
    m_listView->setModel(m_order);
    m_listView->setRootIsDecorated(false);
    m_listView->setItemsExpandable(false);
    m_listView->setUniformRowHeights(true);
    m_listView->setAllColumnsShowFocus(true);
    // Only the two thresholds are editable (the list says which): a double click or F2.
    m_listView->setEditTriggers(QAbstractItemView::DoubleClicked |
                                QAbstractItemView::EditKeyPressed);
    m_listView->setItemDelegate(new TrendDelegate(m_listView));
    auto *thresholds = new ThresholdDelegate(m_listView);
    m_listView->setItemDelegateForColumn(WatchList::TakeProfit, thresholds);
    m_listView->setItemDelegateForColumn(WatchList::StopLoss, thresholds);
    connect(thresholds, &ThresholdDelegate::editFinished, this,
            [this](const QModelIndex &index, const QString &text) {
                emit thresholdEdited(m_order->mapToSource(index).row(), index.column(), text);
            });
    m_listView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView->setSortingEnabled(false);
    m_listView->setGeometry(TwipsRect(0, 0, 6735, 3375));
    m_viewport = m_listView->viewport();
    m_viewport->installEventFilter(this);

    m_strip = new QTextBrowser(this);
    m_strip->setObjectName(QStringLiteral("WebBrowser1"));
    m_strip->setAccessibleName(QStringLiteral("公告栏"));
    m_strip->setFrameShape(QFrame::NoFrame);
    m_strip->setGeometry(TwipsRect(0, 3120, 6735, 615));
    m_strip->raise(); // the strip is drawn in front where the two overlap
    m_statusDocument = new QTextDocument(this);
    m_statusDocument->setObjectName(QStringLiteral("stripStatus"));

    // Between the list and the strip, while any row has lots.
    m_totalsLine = new QLabel(this);
    m_totalsLine->setObjectName(QStringLiteral("totalsLine"));
    m_totalsLine->setAccessibleName(QStringLiteral("持仓合计"));
    m_totalsLine->setTextFormat(Qt::PlainText);
    m_totalsLine->setIndent(4);
    m_totalsLine->setAutoFillBackground(true);
    m_totalsLine->hide();
    // A clicked link would otherwise be loaded into the strip, blanking it.
    m_strip->setOpenLinks(false);
    m_strip->setOpenExternalLinks(false);
    connect(m_strip, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const QUrl url = m_strip->document()->baseUrl().resolved(link);
        if (url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")))
            emit stripLinkActivated(url);
    });
    hideStripScrollBars();

    // The strip's own menu offers only what makes sense for a read-only strip, in Chinese.
    m_stripMenu = new QMenu(m_strip);
    m_stripMenu->setObjectName(QStringLiteral("stripMenu"));
    QAction *copy = m_stripMenu->addAction(QStringLiteral("复制"));
    copy->setObjectName(QStringLiteral("stripCopy"));
    QAction *selectAll = m_stripMenu->addAction(QStringLiteral("全选"));
    selectAll->setObjectName(QStringLiteral("stripSelectAll"));
    connect(copy, &QAction::triggered, m_strip, &QTextBrowser::copy);
    connect(selectAll, &QAction::triggered, m_strip, &QTextBrowser::selectAll);
    m_strip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_strip, &QWidget::customContextMenuRequested, this, [this, copy](const QPoint &at) {
        copy->setEnabled(m_strip->textCursor().hasSelection());
        m_stripMenu->popup(m_strip->viewport()->mapToGlobal(at));
    });
}

void MainWindow::setSource(const QString &sourceTitle, bool demo)
{
    setWindowTitle(captionFor(m_siteHost, demo, sourceTitle));
    setAccessibleName(windowTitle());
}

void MainWindow::setAnnouncementShown(bool shown)
{
    m_announcementShown = shown;
    m_strip->setDocument(shown && m_announcement ? m_announcement : m_statusDocument);
    hideStripScrollBars();
}

void MainWindow::setStatusLine(const QString &status)
{
    m_statusDocument->setPlainText(status);
}

void MainWindow::buildContextMenu()
{
    m_contextMenu = new QMenu(QStringLiteral("右键菜单"), this);
    m_contextMenu->setObjectName(QStringLiteral("mnu2"));
    auto addItem = [this](const char *name, const QString &caption) {
        QAction *action = m_contextMenu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    m_addAction = addItem("mnu21", QStringLiteral("添加股票"));
    m_removeAction = addItem("mnu22", QStringLiteral("删除股票"));
    m_chartAction = addItem("mnu23", QStringLiteral("查看分时"));
    QAction *holdingsItem = addItem("holdingsItem", QStringLiteral("持仓…"));
    connect(holdingsItem, &QAction::triggered, this, [this] {
        const QList<int> selected = selectedPositions();
        if (!selected.isEmpty())
            emit holdingsRequested(selected.constFirst());
    });
    // Ours, after the three above: the list as a table in and out, and back to an earlier copy.
    QAction *importItem = addItem("importItem", QStringLiteral("导入…"));
    QAction *exportItem = addItem("exportItem", QStringLiteral("导出…"));
    QAction *restoreItem = addItem("restoreItem", QStringLiteral("恢复…"));
    connect(importItem, &QAction::triggered, this, &MainWindow::importRequested);
    connect(exportItem, &QAction::triggered, this, [this] {
        int kind = 0;
        const QString path = ChooseFileToSave(
            this, QStringLiteral("导出"), QStringLiteral("自选股.csv"),
            {QStringLiteral("自选股 CSV 表格 (*.csv)"), QStringLiteral("持仓 CSV 表格 (*.csv)")}, &kind);
        if (!path.isEmpty())
            emit exportRequested(path, kind == 1);
    });
    connect(restoreItem, &QAction::triggered, this, &MainWindow::restoreRequested);
    connect(m_addAction, &QAction::triggered, this, &MainWindow::addRequested);
    connect(m_removeAction, &QAction::triggered, this, &MainWindow::requestRemoval);
    connect(m_chartAction, &QAction::triggered, this,
            [this] { emit chartRequested(selectedPositions()); });
}

void MainWindow::setUpColumns()
{
    QHeaderView *header = m_listView->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < m_order->columnCount(); ++column)
        header->resizeSection(column, TwipsToPixels(ListColumnAt(column).widthTwips));
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_list, changed, this, &MainWindow::fitCodeColumn);
    connect(&m_list, &QAbstractItemModel::modelReset, this, &MainWindow::fitCodeColumn);
    connect(&m_list, &WatchList::holdingsChanged, this, &MainWindow::followHoldings);
    placeControls();
    // A click on a header sorts the view by that column; no indicator in the list's own order.
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    connect(header, &QHeaderView::sectionClicked, this, [this, header](int column) {
        m_order->headerClicked(column);
        header->setSortIndicatorShown(m_order->sortedColumn() >= 0);
        if (m_order->sortedColumn() >= 0)
            header->setSortIndicator(column, m_order->sortOrder());
    });
}

void MainWindow::fitCodeColumn()
{
    const int designed = TwipsToPixels(ListColumnAt(WatchList::Code).widthTwips);
    const QFontMetrics metrics(m_listView->font());
    // Room around the text as the view draws it: its margins on both sides, and a little more.
    const int margins = 2 * m_listView->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr,
                                                             m_listView) + 8;
    int needed = designed;
    for (int row = 0; row < m_list.rowCount(); ++row)
        needed = std::max(needed, metrics.horizontalAdvance(m_list.text(row, WatchList::Code)) + margins);
    if (needed == m_listView->header()->sectionSize(WatchList::Code))
        return;
    m_listView->header()->resizeSection(WatchList::Code, needed);
    placeControls();
}

void MainWindow::followHoldings()
{
    // One line per currency the lots are in, reserved before their quotes come.
    const int lines = m_list.holdingCurrencies();
    const QString totals =
        HoldingTotalsText(m_list.holdingTotals(), m_order->hidesAmounts(), QStringLiteral("\n"));
    m_totalsLine->setText(totals.isEmpty() ? QStringLiteral("持仓合计：等待行情") : totals);
    if (lines == m_totalsLines)
        return;
    m_totalsLines = lines;
    m_order->setShowHoldings(lines > 0);
    placeControls();
}

void MainWindow::setTrendShown(bool shown)
{
    if (shown == m_order->showsColumn(WatchList::Trend))
        return;
    m_order->setShowTrend(shown);
    placeControls();
}

void MainWindow::placeControls()
{
    // The columns after the eight list columns take their designed widths as they appear.
    QHeaderView *header = m_listView->header();
    int wider = header->sectionSize(WatchList::Code) - TwipsToPixels(ListColumnAt(WatchList::Code).widthTwips);
    for (int column = WatchList::Shares; column < WatchList::ColumnCount; ++column) {
        if (!m_order->showsColumn(column))
            continue;
        const int width = TwipsToPixels(ListColumnAt(column).widthTwips);
        header->resizeSection(m_order->viewColumn(column), width);
        wider += width;
    }
    const int taller = m_totalsLines > 0 ? m_totalsLines * QFontMetrics(m_totalsLine->font()).height() + 4 : 0;
    // The list keeps its place; the strip moves down under the totals line.
    m_listView->setGeometry(TwipsRect(0, 0, 6735, 3375).adjusted(0, 0, wider, 0));
    m_strip->setGeometry(TwipsRect(0, 3120, 6735, 615).translated(0, taller).adjusted(0, 0, wider, 0));
    m_totalsLine->setGeometry(0, m_strip->y() - taller, m_strip->width(), taller);
    m_totalsLine->setVisible(taller > 0);
    m_totalsLine->raise();
    // The window grows and shrinks by what was added, whatever size the user gave it.
    resize(width() + wider - m_added.width(), height() + taller - m_added.height());
    m_added = QSize(wider, taller);
}

void MainWindow::setHideAmounts(bool hide)
{
    m_order->setHideAmounts(hide);
    followHoldings();
}

void MainWindow::showAnnouncement(QTextDocument *document)
{
    m_announcement = document;
    setAnnouncementShown(m_announcementShown);
}

void MainWindow::hideStripScrollBars()
{
    m_strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QString MainWindow::askFileToImport()
{
    return ChooseFileToOpen(this, QStringLiteral("导入自选股"),
                            QStringLiteral("表格文件 (*.csv *.txt *.tsv);;所有文件 (*)"));
}

QList<int> MainWindow::selectedPositions() const
{
    // In the order the user sees them, as positions in the list.
    QList<int> positions;
    const QItemSelectionModel *selection = m_listView->selectionModel();
    for (int row = 0; row < m_order->rowCount(); ++row) {
        if (selection->rowIntersectsSelection(row, {}))
            positions.append(m_order->mapToSource(m_order->index(row, 0)).row());
    }
    return positions;
}

void MainWindow::requestRemoval()
{
    const QList<int> selected = selectedPositions();
    if (selected.isEmpty())
        return;
    // The one question the program asks: the lots of a code go with its last row.
    const int lots = m_list.lotsLeavingWith(selected.constFirst());
    if (lots > 0 && !Messages::ask(this, QStringLiteral("该股票有 %1 笔持仓记录，一并删除？").arg(lots)))
        return;
    emit removeRequested(selected.constFirst());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Compared, never dereferenced: the viewport still sends events while the window goes.
    if (watched != m_viewport)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_leftPressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        break;
    case QEvent::MouseButtonDblClick:
        m_leftPressed = false; // the second press of a double click is no new click
        break;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const bool click = m_leftPressed && mouse->button() == Qt::LeftButton;
        m_leftPressed = false;
        // Only a right-button release shows the menu, over a row or not. The press before it
        // has already selected the row under the pointer, so the commands act on that row.
        if (mouse->button() == Qt::RightButton)
            m_contextMenu->popup(mouse->globalPosition().toPoint());
        if (click)
            emit listClicked();
        break;
    }
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::setTrayProbe(std::function<bool()> probe)
{
    m_trayProbe = std::move(probe);
}

bool MainWindow::trayAvailable() const
{
    return m_trayProbe ? m_trayProbe() : QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::makeTopmost()
{
    // Set once and never cleared: the first tray click makes the window topmost for good.
    // setWindowFlag() would re-create the native window, which forgets where a hidden window
    // was; the window system is told through the existing window instead.
    const Qt::WindowFlags flags = windowFlags() | Qt::WindowStaysOnTopHint;
    if (flags == windowFlags())
        return;
    overrideWindowFlags(flags);
    if (QWindow *window = windowHandle())
        window->setFlags(flags);
}

void MainWindow::showFromTray()
{
    const bool restore = !isVisible() || isMinimized();
    makeTopmost();
    if (restore)
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void MainWindow::restoreFromTray()
{
    makeTopmost();
    bringToFront();
}

void MainWindow::bringToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Minimised means hidden, once there is a tray to bring it back from. The hide waits for the
    // state change to finish, and is dropped if the window was restored meanwhile.
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !trayAvailable())
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isMinimized())
                hide();
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The user's own close (the window manager's close button, a spontaneous event) puts the
    // window away in the tray; any other close ends the program. The window is hidden straight
    // away rather than minimised first: asking the window manager to iconify a window that is
    // withdrawn a moment later leaves some window managers (openbox) with a window they no
    // longer map when it is shown again.
    if (event->spontaneous() && trayAvailable()) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    emit quitRequested();
}

} // namespace velmora
