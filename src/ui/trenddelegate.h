#pragma once

#include <QStyledItemDelegate>

namespace velmora {

// Draws the cells of the list view: the 走势 cell as its row's day of prices (a small line over
// the previous close), every other cell as usual.
class TrendDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

} // namespace velmora
