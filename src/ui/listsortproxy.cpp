#include "ui/listsortproxy.h"

#include "core/cellorder.h"
#include "watchlist/watchlist.h"

namespace velmora {

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
    const int order = CompareCells(kind, left.data().toString().toStdString(),
                                   right.data().toString().toStdString());
    // Equal cells keep the list's own order between them: the sort is a stable one.
    return order < 0;
}

} // namespace velmora
