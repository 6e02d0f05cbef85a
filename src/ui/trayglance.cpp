#include "ui/trayglance.h"

#include "core/market.h"
#include "core/trayfigure.h"
#include "platform/appicon.h"
#include "ui/holdingstext.h"
#include "ui/trayfigureicon.h"
#include "ui/trayicon.h"
#include "watchlist/watchlist.h"

namespace velmora {

namespace {

// The holdings' day profit in percent: of the yuan holdings when there are any, else of the
// first currency valued. Amounts in different currencies are never added together, and a
// percentage of one currency's holdings still says how the day goes.
std::optional<TrayFigure> holdingsFigure(const WatchList &list)
{
    const TotalsByCurrency totals = list.holdingTotals();
    for (const Market market : kMarkets) {
        const auto sum = totals.find(CurrencyCode(market));
        if (sum != totals.end())
            return TrayFigureForChange(SignedPercent(sum->second.dayProfit, sum->second.dayBase));
    }
    return std::nullopt;
}

} // namespace

QStringList TrayTipRows(const WatchList &list, int most)
{
    QStringList rows;
    for (int row = 0; row < list.rowCount() && row < most; ++row) {
        QStringList cells;
        for (const int column : {WatchList::Code, WatchList::Name, WatchList::Price, WatchList::Change})
            cells << list.text(row, column);
        // A gain says so, as a tip has no colour.
        QString &change = cells.last();
        if (const auto figure = TrayFigureForChange(change.toStdString());
            figure && !figure->falling && !change.startsWith(QLatin1Char('+')) && figure->text != "0.0")
            change.prepend(QLatin1Char('+'));
        cells.removeAll(QString());
        rows << cells.join(QLatin1Char(' '));
    }
    return rows;
}

TrayGlance::TrayGlance(const WatchList &list, TrayIcon &tray, QObject *parent)
    : QObject(parent), m_list(list), m_tray(tray), m_icons(std::make_unique<TrayFigureIcon>()),
      m_plain(AppIcon())
{
    setObjectName(QStringLiteral("trayGlance"));
    m_pending.setSingleShot(true);
    m_pending.setInterval(0);
    connect(&m_pending, &QTimer::timeout, this, &TrayGlance::update);
    const auto later = [this] { m_pending.start(); };
    connect(&list, &QAbstractItemModel::dataChanged, this, later);
    connect(&list, &QAbstractItemModel::rowsInserted, this, later);
    connect(&list, &QAbstractItemModel::rowsRemoved, this, later);
    connect(&list, &QAbstractItemModel::modelReset, this, later);
    connect(&list, &WatchList::holdingsChanged, this, later);
}

TrayGlance::~TrayGlance() = default;

void TrayGlance::setShow(TrayShow show)
{
    m_show = show;
    update();
}

void TrayGlance::setHideAmounts(bool hide)
{
    m_hideAmounts = hide;
    update();
}

void TrayGlance::update()
{
    m_pending.stop();
    std::optional<TrayFigure> figure;
    if (m_show == TrayShow::First && m_list.rowCount() > 0)
        figure = TrayFigureForChange(m_list.text(0, WatchList::Change).toStdString());
    else if (m_show == TrayShow::Total && !m_hideAmounts)
        figure = holdingsFigure(m_list);
    m_tray.setIcon(m_icons->iconFor(figure, m_plain));
    m_tray.setRowLines(TrayTipRows(m_list));
    m_tray.setTotalsLine(HoldingTotalsText(m_list.holdingTotals(), m_hideAmounts));
}

} // namespace velmora
