#include "ui/listsortproxy.h"

#include "core/cellorder.h"
#include "core/rowcolour.h"
#include "ui/holdingstext.h"
#include "ui/listcolumns.h"
#include "watchlist/watchlist.h"

#include <QColor>
#include <QFont>

namespace velmora {

ListSortProxy::ListSortProxy(QObject *parent) : QSortFilterProxyModel(parent)
{
    setObjectName(QStringLiteral("listOrder"));
    setSortRole(WatchList::SortRole);
}

void ListSortProxy::headerClicked(int column)
{
    if (column != m_column) {
        m_column = column;
        sort(column, Qt::AscendingOrder);
    } else if (sortOrder() == Qt::AscendingOrder) {
        sort(column, Qt::DescendingOrder);
    } else {
        m_column = -1;
        sort(-1); // the list's own order
    }
}

void ListSortProxy::setShowHoldings(bool show)
{
    if (show == m_showHoldings)
        return;
    m_showHoldings = show;
    invalidateColumnsFilter();
}

void ListSortProxy::setShowTrend(bool show)
{
    if (show == m_showTrend)
        return;
    m_showTrend = show;
    invalidateColumnsFilter();
}

bool ListSortProxy::filterAcceptsColumn(int column, const QModelIndex &) const
{
    if (column == WatchList::Trend)
        return m_showTrend;
    return column < WatchList::Shares || m_showHoldings;
}

int ListSortProxy::listColumn(int viewColumn) const
{
    for (int column = 0, shown = 0; column < WatchList::ColumnCount; ++column) {
        if (showsColumn(column) && shown++ == viewColumn)
            return column;
    }
    return -1;
}

int ListSortProxy::viewColumn(int listColumn) const
{
    if (!showsColumn(listColumn))
        return -1;
    int shown = 0;
    for (int column = 0; column < listColumn; ++column)
        shown += showsColumn(column) ? 1 : 0;
    return shown;
}

void ListSortProxy::setHideAmounts(bool hide)
{
    if (hide == m_hideAmounts)
        return;
    m_hideAmounts = hide;
    if (rowCount() > 0 && m_showHoldings)
        emit dataChanged(index(0, WatchList::Shares), index(rowCount() - 1, WatchList::HoldingProfit));
}

QVariant ListSortProxy::data(const QModelIndex &index, int role) const
{
    const int column = listColumn(index.column());
    const bool amount = column >= WatchList::Shares && column <= WatchList::HoldingProfit;
    if (amount && m_hideAmounts &&
        (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)) {
        return QSortFilterProxyModel::data(index, Qt::DisplayRole).toString().isEmpty() ? QString()
                                                                                         : kHiddenAmount;
    }
    const bool profit = column == WatchList::DayProfit || column == WatchList::HoldingProfit;
    if (profit && role == Qt::ForegroundRole && !m_hideAmounts) {
        // A profit by its own sign: red a gain, blue a loss (hidden amounts do not tell it).
        const QString text = QSortFilterProxyModel::data(index, Qt::DisplayRole).toString();
        if (text.isEmpty() || text == QLatin1String("0.00"))
            return {};
        return text.startsWith(QLatin1Char('-')) ? QColor(0, 0, 255) : QColor(255, 0, 0);
    }
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(ListColumnAt(column).alignment | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        switch (static_cast<RowColour>(QSortFilterProxyModel::data(index, WatchList::ColourRole).toInt())) {
        case RowColour::Red:
            return QColor(255, 0, 0);
        case RowColour::Blue:
            return QColor(0, 0, 255);
        case RowColour::Default:
            return {};
        }
        return {};
    case Qt::FontRole:
        if (QSortFilterProxyModel::data(index, WatchList::StaleRole).toBool()) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    default:
        return QSortFilterProxyModel::data(index, role);
    }
}

QVariant ListSortProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    const int column = listColumn(section);
    if (orientation != Qt::Horizontal || column < 0)
        return QSortFilterProxyModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return ListColumnAt(column).caption;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(ListColumnAt(column).alignment | Qt::AlignVCenter);
    return {};
}

bool ListSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    const CellKind kind =
        column == WatchList::Code || column == WatchList::Name ? CellKind::Text : CellKind::Number;
    const QByteArray a = left.data(WatchList::SortRole).toByteArray();
    const QByteArray b = right.data(WatchList::SortRole).toByteArray();
    // Equal cells keep the list's own order between them: the sort is a stable one.
    return CompareCells(kind, std::string_view(a.constData(), std::size_t(a.size())),
                        std::string_view(b.constData(), std::size_t(b.size()))) < 0;
}

} // namespace velmora
