#pragma once

#include "core/snapshots.h"
#include "core/watchliststore.h"
#include "watchlist/watchrow.h"

#include <QAbstractTableModel>

#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_map>
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
    enum Column {
        Code, Name, Price, High, Low, Change, TakeProfit, StopLoss,
        // What the code's lots come to: shown once any row has lots.
        Shares, AverageCost, DayProfit, HoldingProfit,
        // The day's prices as a small line, drawn by the view.
        Trend,
        ColumnCount
    };

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
    // New last rows, in order (an import), as one change.
    std::optional<StoreError> addAll(const WatchEntries &entries);
    // Removing the last row of a code with lots takes the lots along, in the same change.
    std::optional<StoreError> removeAt(int position);
    // The take-profit or stop-loss (column TakeProfit or StopLoss) of one row: only that line of
    // that file changes.
    std::optional<StoreError> setThreshold(int position, int column, const std::string &value);
    // The three files as a copy holds them (see snapshots()), the lots too when it holds them;
    // the rows are read anew.
    std::optional<StoreError> restore(const std::string &snapshotName);

    // The lots, in the order they were entered, from Holdings.csv beside the three files.
    const Lots &lots() const { return m_lots; }
    const std::vector<const Lot *> &lotsOf(const std::string &code) const;
    // Whether any row's code has lots: the holdings columns and totals are shown.
    bool hasHoldings() const { return holdingCurrencies() > 0; }
    // How many currencies the rows with lots are in (by their codes' markets, before any quote).
    int holdingCurrencies() const;
    // The lots file could not be read or understood at start: reported, and no change of the
    // lots this run (the user's file is never overwritten).
    const std::optional<StoreError> &holdingsProblem() const { return m_holdingsProblem; }
    // The rows whose code has lots come to: per currency, each code once.
    TotalsByCurrency holdingTotals() const;
    // A code's lots replaced by these, where its first lot stood (or at the end).
    std::optional<StoreError> setLotsOf(const std::string &code, const Lots &lots);
    // Lots added after the others; a code not on the list comes in as a new last row with
    // empty thresholds, in the same change.
    std::optional<StoreError> addLots(const Lots &lots);
    // The row at position is the last of its code, which has lots: how many.
    int lotsLeavingWith(int position) const;

    // Before every change the three files are copied into backups/ (at most 20 kept). A copy
    // that fails does not stop the change, and snapshotFailure() then says why; a change that
    // fails takes its copy away again, so no copy claims to precede a change that never was.
    std::vector<SnapshotInfo> snapshots() const;
    // Why the copy before the last change could not be made; nothing when it was.
    const std::optional<StoreError> &snapshotFailure() const { return m_snapshotFailure; }

    // What the view shows beside the text of a cell: the row's colour (a RowColour), whether
    // its quote is stale or delayed, and the cell's sort key (the stored bytes; for a code or threshold
    // that is not plain ASCII, the UTF-8 of the characters shown).
    // TrendRole: the row's TrendSeries (a const pointer, valid until the list next changes), for
    // the 走势 cell only.
    enum Role { ColourRole = Qt::UserRole + 1, StaleRole, SortRole, TrendRole };

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const WatchRow &rowAt(int position) const { return m_rows.at(static_cast<size_t>(position)); }
    std::optional<int> positionOf(RowId id) const;
    // The row with this id, or nullptr when it is gone.
    const WatchRow *rowById(RowId id) const;
    WatchEntries entries() const;
    // A cell's text as the list shows it.
    QString text(int position, int column) const;
    // The same cell as stored: the bytes of the files for the code and the thresholds (UTF-8 or
    // GBK), UTF-8 for the quote. Quick, for sorting.
    std::string_view cellBytes(int position, int column) const;

    // The row with this id takes its answer: a quote received at receivedAt (Unix seconds) and
    // how many minutes it lay behind its market's clock, or, with an empty quote, none, and why.
    // Its colour follows the change. False when the row is gone.
    bool applyQuote(RowId id, const Quote &quote, std::int64_t receivedAt, std::string note = {},
                    int delayMinutes = 0);
    // Rows whose quote has grown old are marked stale.
    void markStale(const std::function<bool(const WatchRow &)> &isStale);

    static QString placeholder() { return QStringLiteral("待命"); }

signals:
    // A row's take-profit or stop-loss changed.
    void thresholdsChanged(velmora::RowId row);
    // The lots changed, or their figures did.
    void holdingsChanged();

private:
    RowId append(WatchRow row);
    // Takes in lots read from the file or written to it, and works the rows' figures out anew.
    void takeLots(Lots lots);
    void refigure(WatchRow &row, std::int64_t now) const;
    std::optional<StoreError> refuseLotsChange() const;
    // Runs a change of the files after copying them into backups/.
    std::optional<StoreError> changeFiles(const std::function<std::optional<StoreError>()> &change);

    WatchListFiles m_files;
    std::optional<StoreError> m_snapshotFailure;
    Lots m_lots;
    std::unordered_map<std::string, std::vector<const Lot *>> m_lotsByCode; // into m_lots
    std::optional<StoreError> m_holdingsProblem;
    std::vector<WatchRow> m_rows;
    RowId m_nextId = 1;
};

} // namespace velmora

Q_DECLARE_METATYPE(const velmora::TrendSeries *)
