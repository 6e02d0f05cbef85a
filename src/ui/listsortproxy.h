#pragma once

#include <QSortFilterProxyModel>

namespace velmora {

// The list as the view shows it: the column captions and alignments, the row colours (red when
// not fallen, blue when fallen, the default before any quote; a profit column by its own sign),
// stale rows in italics, the holdings' amounts hidden when asked, and the
// order: the list's own at start, or one column's, numbers as numbers ("-3.00%" before "9.00%"
// before "12.00%") and codes and names as text. It only changes the view: the list and its
// files keep their order.
class ListSortProxy final : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit ListSortProxy(QObject *parent = nullptr);

    // A click on a column's header: that column ascending, then descending, then the list's
    // own order again.
    void headerClicked(int column);
    // The column sorted by, -1 for the list's own order.
    int sortedColumn() const { return m_column; }
    // The holdings columns are there only while some row has lots: without them the view is the
    // eight list columns, for the eye and for a screen reader alike.
    void setShowHoldings(bool show);
    // The 走势 column, after all others.
    void setShowTrend(bool show);
    // Whether the view shows the list's column, and where (-1: it does not).
    bool showsColumn(int listColumn) const { return filterAcceptsColumn(listColumn, {}); }
    int viewColumn(int listColumn) const;
    // The list's column the view shows at viewColumn (-1: none).
    int listColumn(int viewColumn) const;
    // Every amount of the holdings shown as *** (the privacy switch).
    void setHideAmounts(bool hide);
    bool hidesAmounts() const { return m_hideAmounts; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;
    bool filterAcceptsColumn(int column, const QModelIndex &parent) const override;

private:
    int m_column = -1;
    bool m_showTrend = true;
    bool m_hideAmounts = false;
    bool m_showHoldings = false;
};

} // namespace velmora
