#pragma once

#include "core/watchliststore.h"
#include "watchlist/watchrow.h"

#include <QAbstractTableModel>

#include <filesystem>
#include <optional>
#include <vector>

namespace velmora {

// The watch list while the program runs: the rows, and the three files behind them. It is the
// only code that changes the files, and every change is all-or-nothing: the files first, then
// the rows, so what the list shows is always what the disk holds. Each row keeps an id for its
// whole life; quotes and late answers find their row by it. It is also the model the list view
// shows (there is no second copy): the code, then name, price, high, low, change, take-profit
// and stop-loss.
class WatchList final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Code, Name, Price, High, Low, Change, TakeProfit, StopLoss, ColumnCount };

    explicit WatchList(std::filesystem::path dataDir,
                       StoreFileSystem &fs = StoreFileSystem::real(), QObject *parent = nullptr);
    ~WatchList() override;

    // Reads the three files once, at start. A file that exists but cannot be read is returned;
    // the list then writes nothing during this run, so the list on disk is never overwritten.
    std::optional<StoreError> load();

    // Why this run writes nothing (the list could not be read, or the folder cannot be
    // written), when it does not: every change is then refused up front.
    const std::optional<StoreError> &refusal() const { return m_files.refusal(); }

    // The three changes: the files change first, all three or none; only then the rows. On an
    // error nothing changed, on disk or in the list.
    // A new last row with "待命" in its price cell.
    std::optional<StoreError> add(const WatchEntry &entry);
    std::optional<StoreError> removeAt(int position);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static QString caption(int column);
    static int widthTwips(int column);
    static Qt::Alignment alignment(int column);

    const WatchRow &rowAt(int position) const { return m_rows.at(static_cast<size_t>(position)); }
    std::optional<int> positionOf(RowId id) const;
    WatchEntries entries() const;
    // A cell's text as the list shows it.
    QString text(int position, int column) const;

    // Writes name, price, high, low and change and the colour of the row with this id; false
    // when the row is gone.
    struct Quote
    {
        std::string name, price, high, low, change;
    };
    bool applyQuote(RowId id, const Quote &quote);

    static QString placeholder() { return QStringLiteral("待命"); }

private:
    RowId append(WatchRow row);

    WatchListFiles m_files;
    std::vector<WatchRow> m_rows;
    RowId m_nextId = 1;
};

} // namespace velmora
