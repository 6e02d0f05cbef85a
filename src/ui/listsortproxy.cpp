#include "ui/listsortproxy.h"

#include "core/cellorder.h"
#include "watchlist/watchlist.h"

#include <algorithm>

namespace velmora {

namespace {

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

} // namespace

ListSortProxy::ListSortProxy(QObject *parent) : QSortFilterProxyModel(parent)
{
    setObjectName(QStringLiteral("listOrder"));
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

bool ListSortProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    const CellKind kind =
        column == WatchList::Code || column == WatchList::Name ? CellKind::Text : CellKind::Number;
    const auto *list = static_cast<const WatchList *>(sourceModel());
    const std::string_view a = list->cellBytes(left.row(), column);
    const std::string_view b = list->cellBytes(right.row(), column);
    const bool stored = column == WatchList::Code || column == WatchList::TakeProfit
                        || column == WatchList::StopLoss;
    int order = 0;
    if (!stored || (isAscii(a) && isAscii(b))) {
        order = CompareCells(kind, a, b);
    } else {
        // A code or threshold read from a GBK file compares as the characters it shows.
        order = CompareCells(kind, list->text(left.row(), column).toUtf8().toStdString(),
                             list->text(right.row(), column).toUtf8().toStdString());
    }
    // Equal cells keep the list's own order between them: the sort is a stable one.
    return order < 0;
}

} // namespace velmora
