#include "ui/trenddelegate.h"

#include "ui/trendpaint.h"
#include "watchlist/watchlist.h"

#include <QPainter>

namespace velmora {

void TrendDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    // The cell's background and selection as any cell has them, then the line over it.
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant trend = index.data(WatchList::TrendRole);
    if (!trend.isValid())
        return;
    if (const TrendSeries *series = trend.value<const TrendSeries *>())
        PaintTrend(*painter, option.rect.adjusted(2, 2, -2, -2), *series);
}

} // namespace velmora
