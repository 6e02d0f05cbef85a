#pragma once

#include "mainwin/watchrow.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace velmora {

// The rows of ListView1. They are the watch list while the program runs: there is no second
// copy. Columns: code, then sub-items 1..7 (name, price, high, low, change, take-profit,
// stop-loss).
class WatchListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Code, Name, Price, High, Low, Change, TakeProfit, StopLoss, ColumnCount };

    explicit WatchListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static QString caption(int column);
    static int widthTwips(int column);
    static Qt::Alignment alignment(int column);

    // A loaded row shows the placeholder in the name column, an added one in the price column.
    std::uint64_t appendLoaded(const WatchEntry &entry);
    std::uint64_t appendAdded(const WatchEntry &entry);
    // Puts a removed row back at its place (after a failed write of the files).
    void insertRow(int position, const WatchRow &row);
    WatchRow takeRow(int position);

    const WatchRow &rowAt(int position) const { return m_rows.at(static_cast<size_t>(position)); }
    std::optional<int> positionOf(std::uint64_t id) const;
    WatchList entries() const;
    // Display text of a cell, as the list shows it.
    QString text(int position, int column) const;

    // Writes sub-items 1..5 and the colour of the row with this id; false when it is gone.
    struct Quote
    {
        std::string name, price, high, low, change;
    };
    bool setQuote(std::uint64_t id, const Quote &quote);

    static const char *placeholder() { return "待命"; }

private:
    std::uint64_t append(WatchRow row);

    std::vector<WatchRow> m_rows;
    std::uint64_t m_nextId = 1;
};

} // namespace velmora
