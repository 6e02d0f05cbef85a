#include "ui/trayicon.h"

#include "platform/appicon.h"
#include "ui/brand.h"

#include <QCursor>
#include <QMenu>

namespace velmora {

QString TrayIcon::toolTipFor(bool demo)
{
    return QStringLiteral("Tesquin-Velmora") + DemoSuffix(demo);
}

TrayIcon::TrayIcon(bool demo, QObject *parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(AppIcon(), this)),
      m_menu(new QMenu(QStringLiteral("托盘菜单")))
{
    setObjectName(QStringLiteral("tray"));
    m_icon->setObjectName(QStringLiteral("trayIcon"));
    m_demo = demo;
    updateToolTip();
    m_menu->setObjectName(QStringLiteral("mn"));

    struct Item
    {
        const char *name;
        QString caption;
        void (TrayIcon::*signal)();
    };
    // The dashes are ordinary items that do nothing, not separator bars.
    const Item items[] = {
        {"mn17", QStringLiteral("添加股票"), &TrayIcon::addStockRequested},
        {"mn21", QStringLiteral("——————"), nullptr},
        {"mn19", QStringLiteral("预警开"), &TrayIcon::alertsOnRequested},
        {"mn20", QStringLiteral("预警关"), &TrayIcon::alertsOffRequested},
        {"mn18", QStringLiteral("——————"), nullptr},
        {"mn1", QStringLiteral("Tesquin官网"), &TrayIcon::homePageRequested},
        {"mn11", QStringLiteral("-----------"), nullptr},
        {"mn12", QStringLiteral("开机启动"), &TrayIcon::startAtLoginRequested},
        {"mn13", QStringLiteral("取消开机启动"), &TrayIcon::noStartAtLoginRequested},
        {"mn14", QStringLiteral("——————"), nullptr},
        {"mn15", QStringLiteral("需要稳定收益"), &TrayIcon::membershipPageRequested},
        // Ours, just before the exit: discreet mode, the alerts told so far, and where the quote
        // source and the alerts are set.
        {"discreetItem", QStringLiteral("隐身模式"), nullptr},
        {"alertLogItem", QStringLiteral("预警记录"), &TrayIcon::alertLogRequested},
        {"settingsItem", QStringLiteral("设置"), &TrayIcon::settingsRequested},
        {"mn16", QStringLiteral("退出"), &TrayIcon::exitRequested},
    };
    for (const Item &item : items) {
        QAction *action = m_menu->addAction(item.caption);
        action->setObjectName(QString::fromLatin1(item.name));
        if (item.signal)
            connect(action, &QAction::triggered, this, item.signal);
    }
    m_discreetItem = m_menu->findChild<QAction *>(QStringLiteral("discreetItem"));
    m_discreetItem->setCheckable(true);
    connect(m_discreetItem, &QAction::triggered, this, &TrayIcon::discreetRequested);
    m_figureIcon = AppIcon();
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayIcon::activated);
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show()
{
    m_icon->show();
}

void TrayIcon::hide()
{
    m_icon->hide();
}

void TrayIcon::setStatusLine(const QString &status)
{
    m_status = status;
    updateToolTip();
}

void TrayIcon::setDemo(bool demo)
{
    m_demo = demo;
    updateToolTip();
}

void TrayIcon::setTotalsLine(const QString &totals)
{
    m_totals = totals;
    updateToolTip();
}

void TrayIcon::setRowLines(const QStringList &rows)
{
    m_rows = rows;
    updateToolTip();
}

void TrayIcon::setIcon(const QIcon &icon)
{
    if (icon.cacheKey() == m_figureIcon.cacheKey())
        return;
    m_figureIcon = icon;
    if (!m_discreet)
        m_icon->setIcon(icon);
}

void TrayIcon::setDiscreet(bool discreet)
{
    m_discreet = discreet;
    m_discreetItem->setChecked(discreet);
    m_icon->setIcon(discreet ? AppIcon() : m_figureIcon);
    updateToolTip();
}

void TrayIcon::setDiscreetHotkey(const QString &hotkey)
{
    // After a tab, a menu shows the text where shortcuts stand.
    m_discreetItem->setText(hotkey.isEmpty() ? QStringLiteral("隐身模式") : QStringLiteral("隐身模式\t") + hotkey);
}

void TrayIcon::updateToolTip()
{
    // The program's name only, while discreet: no figure and no code to read over a shoulder.
    QStringList lines{toolTipFor(m_demo)};
    if (!m_discreet)
        lines << m_status << m_rows << m_totals;
    lines.removeAll(QString());
    m_icon->setToolTip(lines.join(QLatin1Char('\n')));
}

void TrayIcon::activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        emit clicked();
        break;
    case QSystemTrayIcon::DoubleClick:
        emit doubleClicked();
        break;
    case QSystemTrayIcon::Context: // the menu at the pointer
        m_menu->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

} // namespace velmora
