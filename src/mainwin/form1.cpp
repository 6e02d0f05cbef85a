#include "mainwin/form1.h"

#include "alerts/alertmonitor.h"
#include "mainwin/docking.h"
#include "mainwin/listcommands.h"
#include "mainwin/traycontroller.h"
#include "mainwin/watchlistmodel.h"
#include "platform/messages.h"
#include "platform/screenmetrics.h"
#include "platform/textcodec.h"
#include "quotes/quoterefresh.h"
#include "store/watchliststore.h"
#include "webpanels/announcementstrip.h"
#include "webpanels/chartviewer.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeView>

// The icons are compiled into the static velmora_ui library, whose resource initialiser nothing
// references, so the linker drops it: without this the window and the tray icon stay blank.
static void initIconResources()
{
    Q_INIT_RESOURCE(velmora);
}

namespace velmora {

namespace {

QString demoSuffix(const AppSettings &settings)
{
    return settings.demo ? QStringLiteral("（演示行情）") : QString();
}

} // namespace

QIcon AppIcon()
{
    static const bool loaded = (initIconResources(), true);
    Q_UNUSED(loaded);
    QIcon icon;
    icon.addFile(QStringLiteral(":/velmora/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/velmora/icon32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/velmora/icon64.png"), QSize(64, 64));
    return icon;
}

QString Form1::captionFor(const AppSettings &settings)
{
    return QStringLiteral("Velmora  By Tesquin Orlentis——") + settings.siteHost() +
           demoSuffix(settings);
}

Form1::Form1(const AppSettings &settings, WatchListFiles &files, QWidget *parent)
    : QWidget(parent), m_settings(settings), m_files(files)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(captionFor(settings));
    setWindowIcon(AppIcon());
    setAccessibleName(windowTitle());
    resize(TwipsToPixels(6780), TwipsToPixels(3735));
    buildControls();
    buildMenus();
    m_trayController = new TrayController(this); // tray clicks, minimise, close, mn1/12/13/15/16
    new Docking(this, m_timer3);                  // Timer3_Timer: screen-edge docking
    new ListCommands(*this); // mnu2, mnu21, mnu22, mn17 and frmAdd
    AttachChartViewer(*this); // mnu23_Click and the chart viewer llq
    new QuoteRefresh(*m_model, m_timer1, m_settings.quoteBase, this); // Timer1_Timer, Inet1
    new AlertMonitor(this); // Timer2_Timer, mn19/mn20, Inet2 and the alert window tx
}

Form1::~Form1() = default;

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && m_trayController)
        m_trayController->windowStateChanged();
}

void Form1::closeEvent(QCloseEvent *event)
{
    m_trayController->closeRequested(event);
}

void Form1::buildControls()
{
    m_model = new WatchListModel(this);
    m_model->setObjectName(QStringLiteral("watchListModel"));

    // No layout: the list and the strip keep their places whatever the window's size.
    m_listView = new QTreeView(this);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setAccessibleName(QStringLiteral("自选股列表"));
    m_listView->setModel(m_model);
    m_listView->setRootIsDecorated(false);
    m_listView->setItemsExpandable(false);
    m_listView->setUniformRowHeights(true);
    m_listView->setAllColumnsShowFocus(true);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listView->setSortingEnabled(false);
    m_listView->setGeometry(TwipsRect(0, 0, 6735, 3375));

    m_strip = new QTextBrowser(this);
    m_strip->setObjectName(QStringLiteral("WebBrowser1"));
    m_strip->setAccessibleName(QStringLiteral("公告栏"));
    m_strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_strip->setOpenLinks(false);
    m_strip->setFrameShape(QFrame::NoFrame);
    m_strip->setGeometry(TwipsRect(0, 3120, 6735, 615));
    m_strip->raise(); // the strip is drawn in front where the two overlap

    auto makeTimer = [this](const char *name, int interval) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QString::fromLatin1(name));
        timer->setInterval(interval);
        return timer;
    };
    m_timer1 = makeTimer("Timer1", 8000);
    m_timer2 = makeTimer("Timer2", 8000);
    m_timer3 = makeTimer("Timer3", 500);

    m_tray = new QSystemTrayIcon(AppIcon(), this);
    m_tray->setObjectName(QStringLiteral("trayIcon"));
    m_tray->setToolTip(QStringLiteral("Tesquin-Velmora") + demoSuffix(m_settings));
}

void Form1::buildMenus()
{
    auto addItems = [this](QMenu *menu, std::initializer_list<std::pair<const char *, const char *>>
                                            items) {
        for (const auto &[name, caption] : items) {
            auto *action = menu->addAction(QString::fromUtf8(caption));
            action->setObjectName(QString::fromLatin1(name));
        }
    };
    m_mnu2 = new QMenu(QStringLiteral("右键菜单"), this);
    m_mnu2->setObjectName(QStringLiteral("mnu2"));
    addItems(m_mnu2, {{"mnu21", "添加股票"}, {"mnu22", "删除股票"}, {"mnu23", "查看分时"}});

    // The dashes are ordinary items that do nothing, not separator bars.
    m_mn = new QMenu(QStringLiteral("托盘菜单"), this);
    m_mn->setObjectName(QStringLiteral("mn"));
    addItems(m_mn, {{"mn17", "添加股票"},
                    {"mn21", "——————"},
                    {"mn19", "预警开"},
                    {"mn20", "预警关"},
                    {"mn18", "——————"},
                    {"mn1", "Tesquin官网"},
                    {"mn11", "-----------"},
                    {"mn12", "开机启动"},
                    {"mn13", "取消开机启动"},
                    {"mn14", "——————"},
                    {"mn15", "需要稳定收益"},
                    {"mn16", "退出"}});
}

QAction *Form1::action(const char *objectName) const
{
    const QString name = QString::fromLatin1(objectName);
    for (QMenu *menu : {m_mnu2, m_mn}) {
        for (QAction *a : menu->actions()) {
            if (a->objectName() == name)
                return a;
        }
    }
    return nullptr;
}

void Form1::setUpColumns()
{
    QHeaderView *header = m_listView->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    for (int column = 0; column < WatchListModel::ColumnCount; ++column)
        header->resizeSection(column, TwipsToPixels(WatchListModel::widthTwips(column)));
}

void Form1::load()
{
    m_tray->show();
    setUpColumns();
    const auto loaded = m_files.load();
    for (const auto &entry : loaded.entries)
        m_model->appendLoaded(entry);
    m_timer1->start();
    m_timer3->start();
    AttachAnnouncementStrip(*this); // step 5: WebBrowser1 shows the announcement page
    if (loaded.error) {
        const QString file = QString::fromStdString(loaded.error->file);
        const QString reason = QString::fromLocal8Bit(loaded.error->reason.c_str());
        QTimer::singleShot(0, this, [this, file, reason] {
            Messages::warn(this, QStringLiteral("无法读取自选股文件 %1：%2。\n为保护磁盘上的列表，"
                                                "本次运行不会写入任何自选股文件。")
                                     .arg(file, reason));
        });
    }
}

} // namespace velmora
