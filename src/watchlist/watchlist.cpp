#include "watchlist/watchlist.h"

#include "core/marketsymbol.h"
#include "core/tradingclock.h"
#include "platform/textcodec.h"

#include <QDateTime>

#include <algorithm>
#include <set>

namespace velmora {

WatchList::WatchList(std::filesystem::path dataDir, StoreFileSystem &fs, QObject *parent)
    : QAbstractTableModel(parent), m_files(std::move(dataDir), fs)
{
    setObjectName(QStringLiteral("watchList"));
}

WatchList::~WatchList() = default;

std::optional<StoreError> WatchList::load()
{
    const LoadedWatchList loaded = m_files.load();
    beginResetModel();
    m_rows.clear();
    for (const WatchEntry &entry : loaded.entries) {
        WatchRow row;
        row.id = m_nextId++;
        row.entry = entry;
        row.quote.name = placeholder().toStdString(); // a loaded row shows it in the name column
        m_rows.push_back(std::move(row));
    }
    m_holdingsProblem = loaded.holdingsError;
    Lots lots;
    if (loaded.holdings) {
        // Dates are not held against today here: a lot the file has is the user's, whatever day.
        HoldingsImport read = ReadHoldingsCsv(*loaded.holdings, "9999-12-31");
        if (read.problems.empty()) {
            lots = std::move(read.lots);
        } else {
            m_holdingsProblem = StoreError{kHoldingsFileName, CsvProblemsText(read.problems), 0,
                                           StoreError::Kind::UnreadableList};
        }
    }
    takeLots(std::move(lots));
    endResetModel();
    emit holdingsChanged();
    return loaded.error;
}

std::optional<StoreError> WatchList::add(const WatchEntry &entry)
{
    return addAll({entry});
}

std::optional<StoreError> WatchList::addAll(const WatchEntries &entries)
{
    if (m_files.refusal())
        return m_files.refusal();
    if (auto error = changeFiles([&] { return m_files.append(entries); }))
        return error;
    for (const WatchEntry &entry : entries) {
        WatchRow row;
        row.entry = entry;
        row.quote.price = placeholder().toStdString(); // an added one in the price column
        refigure(row, 0);
        append(std::move(row));
    }
    return std::nullopt;
}

const std::vector<const Lot *> &WatchList::lotsOf(const std::string &code) const
{
    static const std::vector<const Lot *> none;
    const auto found = m_lotsByCode.find(code);
    return found == m_lotsByCode.end() ? none : found->second;
}

int WatchList::holdingCurrencies() const
{
    std::set<Market> markets;
    for (const WatchRow &row : m_rows) {
        if (row.holding.shares > 0)
            markets.insert(MarketOfCode(row.entry.code));
    }
    return static_cast<int>(markets.size());
}

TotalsByCurrency WatchList::holdingTotals() const
{
    TotalsByCurrency totals;
    std::set<std::string> counted; // a code's lots count once, however many rows show it
    for (const WatchRow &row : m_rows) {
        if (row.holding.priced && counted.insert(row.entry.code).second)
            AddToTotals(totals, CurrencyCode(row.quote.market), row.holding);
    }
    return totals;
}

std::optional<StoreError> WatchList::refuseLotsChange() const
{
    if (m_files.refusal())
        return m_files.refusal();
    return m_holdingsProblem;
}

std::optional<StoreError> WatchList::setLotsOf(const std::string &code, const Lots &lots)
{
    if (auto refusal = refuseLotsChange())
        return refusal;
    Lots next;
    bool placed = false;
    for (const Lot &lot : m_lots) {
        if (lot.code != code) {
            next.push_back(lot);
        } else if (!std::exchange(placed, true)) {
            next.insert(next.end(), lots.begin(), lots.end());
        }
    }
    if (!placed)
        next.insert(next.end(), lots.begin(), lots.end());
    if (auto error = changeFiles([&] { return m_files.writeHoldings(HoldingsCsv(next)); }))
        return error;
    takeLots(std::move(next));
    return std::nullopt;
}

std::optional<StoreError> WatchList::addLots(const Lots &lots)
{
    if (auto refusal = refuseLotsChange())
        return refusal;
    Lots next = m_lots;
    next.insert(next.end(), lots.begin(), lots.end());
    // Codes of lots that no row shows come in as rows, in the order of their first lot.
    WatchEntries newRows;
    std::set<std::string> listed;
    for (const WatchRow &row : m_rows)
        listed.insert(row.entry.code);
    for (const Lot &lot : lots) {
        if (listed.insert(lot.code).second)
            newRows.push_back({lot.code, {}, {}});
    }
    const HoldingsChange holdings = std::optional<std::string>(HoldingsCsv(next));
    if (auto error = changeFiles([&] {
            return newRows.empty() ? m_files.writeHoldings(**holdings) : m_files.append(newRows, holdings);
        }))
        return error;
    for (const WatchEntry &entry : newRows) {
        WatchRow row;
        row.entry = entry;
        row.quote.price = placeholder().toStdString();
        append(std::move(row));
    }
    takeLots(std::move(next));
    return std::nullopt;
}

int WatchList::lotsLeavingWith(int position) const
{
    if (position < 0 || position >= rowCount())
        return 0;
    const std::string &code = m_rows[static_cast<size_t>(position)].entry.code;
    const auto sameCode = std::count_if(m_rows.begin(), m_rows.end(),
                                        [&code](const WatchRow &row) { return row.entry.code == code; });
    return sameCode == 1 ? static_cast<int>(lotsOf(code).size()) : 0;
}

void WatchList::takeLots(Lots lots)
{
    m_lots = std::move(lots);
    m_lotsByCode.clear();
    for (const Lot &lot : m_lots)
        m_lotsByCode[lot.code].push_back(&lot);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        refigure(m_rows[i], m_rows[i].receivedAt);
        const int position = static_cast<int>(i);
        emit dataChanged(index(position, Shares), index(position, HoldingProfit));
    }
    emit holdingsChanged();
}

void WatchList::refigure(WatchRow &row, std::int64_t now) const
{
    const auto &lots = lotsOf(row.entry.code);
    if (lots.empty()) {
        row.holding = {};
        return;
    }
    const bool quoted = row.receivedAt > 0 && !row.quote.price.empty();
    const std::string today = MarketDate(MarketClock(row.quote.market, now));
    row.holding = FiguresOf(lots, quoted ? &row.quote : nullptr, today);
}

std::optional<StoreError> WatchList::setThreshold(int position, int column,
                                                  const std::string &value)
{
    if (position < 0 || position >= rowCount() || (column != TakeProfit && column != StopLoss))
        return std::nullopt;
    if (m_files.refusal())
        return m_files.refusal();
    const bool takeProfit = column == TakeProfit;
    if (auto error = changeFiles([&] {
            return m_files.setThresholds(static_cast<std::size_t>(position),
                                         takeProfit ? std::optional(value) : std::nullopt,
                                         takeProfit ? std::nullopt : std::optional(value));
        }))
        return error;
    WatchRow &row = m_rows[static_cast<size_t>(position)];
    (takeProfit ? row.entry.takeProfit : row.entry.stopLoss) = value;
    emit dataChanged(index(position, column), index(position, column));
    emit thresholdsChanged(row.id);
    return std::nullopt;
}

std::optional<StoreError> WatchList::restore(const std::string &snapshotName)
{
    if (m_files.refusal())
        return m_files.refusal();
    StoreError readError;
    const auto copy = ReadSnapshot(m_files.dir(), snapshotName, m_files.fileSystem(), &readError);
    if (!copy)
        return readError;
    // A restore can be undone like any other change. Lots that cannot be read this run are
    // left alone.
    const HoldingsChange holdings = m_holdingsProblem ? HoldingsChange() : copy->holdings;
    if (auto error = changeFiles([&] {
            return m_files.restore({copy->codes, copy->takeProfit, copy->stopLoss}, holdings);
        }))
        return error;
    load();
    return std::nullopt;
}

std::vector<SnapshotInfo> WatchList::snapshots() const
{
    return ListSnapshots(m_files.dir(), m_files.fileSystem());
}

std::optional<StoreError> WatchList::changeFiles(
    const std::function<std::optional<StoreError>()> &change)
{
    const std::string stem =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")).toStdString();
    std::string taken;
    m_snapshotFailure = TakeSnapshot(m_files.dir(), stem, m_files.fileSystem(), &taken);
    // Pruning that fails is only done again at the next change: an extra copy harms nothing.
    if (!m_snapshotFailure)
        PruneSnapshots(m_files.dir(), kSnapshotsKept, m_files.fileSystem());
    auto error = change();
    if (error && !taken.empty())
        RemoveSnapshot(m_files.dir(), taken, m_files.fileSystem());
    return error;
}

std::optional<StoreError> WatchList::removeAt(int position)
{
    if (position < 0 || position >= rowCount())
        return std::nullopt;
    if (m_files.refusal())
        return m_files.refusal();
    WatchEntries remaining = entries();
    remaining.erase(remaining.begin() + position);
    // The last row of a code with lots takes them along.
    HoldingsChange holdings;
    Lots keptLots = m_lots;
    if (lotsLeavingWith(position) > 0) {
        if (auto refusal = refuseLotsChange())
            return refusal;
        const std::string &code = m_rows[static_cast<size_t>(position)].entry.code;
        std::erase_if(keptLots, [&code](const Lot &lot) { return lot.code == code; });
        holdings = std::optional<std::string>(HoldingsCsv(keptLots));
    }
    if (auto error = changeFiles([&] { return m_files.rewrite(remaining, holdings); }))
        return error;
    beginRemoveRows({}, position, position);
    m_rows.erase(m_rows.begin() + position);
    endRemoveRows();
    if (holdings)
        takeLots(std::move(keptLots));
    return std::nullopt;
}

int WatchList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WatchList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString WatchList::text(int position, int column) const
{
    const WatchRow &row = rowAt(position);
    // No trade yet: the previous close stands as the price, unchanged, with no high or low.
    const bool noTrade = NoTradeYet(row.quote);
    switch (column) {
    case Code:
        return DecodeStored(row.entry.code);
    case Name:
        return QString::fromStdString(row.quote.name);
    case Price:
        return QString::fromStdString(noTrade ? row.quote.previousClose : row.quote.price);
    case High:
        return noTrade ? QString() : QString::fromStdString(row.quote.high);
    case Low:
        return noTrade ? QString() : QString::fromStdString(row.quote.low);
    case Change:
        return noTrade ? QStringLiteral("0.00%") : QString::fromStdString(row.quote.change);
    case TakeProfit:
        return DecodeStored(row.entry.takeProfit);
    case StopLoss:
        return DecodeStored(row.entry.stopLoss);
    case Shares:
        return row.holding.shares > 0 ? QString::number(row.holding.shares) : QString();
    case AverageCost:
        return row.holding.averageCost ? QString::fromStdString(row.holding.averageCost->shortest(2, 4))
                                       : QString();
    case DayProfit:
        return row.holding.priced ? QString::fromStdString(SignedAmount(row.holding.dayProfit)) : QString();
    case HoldingProfit:
        return row.holding.priced ? QString::fromStdString(SignedAmount(row.holding.holdingProfit))
                                  : QString();
    }
    return {};
}

QVariant WatchList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const WatchRow &row = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(index.row(), index.column());
    case Qt::ToolTipRole: {
        // The cell, and the row's quote: its currency, its own time and how late it came, or
        // why it has none.
        QStringList lines{text(index.row(), index.column())};
        if (!row.note.empty())
            lines << QString::fromStdString(row.note);
        else if (NoTradeYet(row.quote))
            lines << QStringLiteral("暂无成交，显示昨日收盘价");
        if (row.note.empty() && row.receivedAt > 0) {
            const Market market = row.quote.market;
            QStringList about;
            if (!row.quote.currency.empty())
                about << QString::fromUtf8(CurrencyName(market));
            // The pages date their quotes on their market's clock; the custom service's are as
            // old as their reply, on this machine's.
            about << (row.quote.date.empty()
                          ? QStringLiteral("行情时间 %1").arg(QDateTime::fromSecsSinceEpoch(row.receivedAt)
                                                              .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                          : QStringLiteral("行情时间 %1 %2 (%3)")
                                .arg(QString::fromStdString(row.quote.date),
                                     QString::fromStdString(row.quote.time),
                                     QString::fromUtf8(MarketCity(market))));
            if (row.delayMinutes > 0)
                about << QStringLiteral("延时约 %1 分钟").arg(row.delayMinutes);
            lines << about.join(QStringLiteral(" · "));
        }
        // The return on what the lots cost, where the holding's profit is.
        if (index.column() == HoldingProfit && row.holding.priced && !row.holding.cost.isZero())
            lines << QStringLiteral("收益率 %1").arg(QString::fromStdString(
                         SignedPercent(row.holding.holdingProfit, row.holding.cost)));
        if (BareCodeIsAlsoAnIndex(row.entry.code)) {
            const QString code = DecodeStored(row.entry.code);
            lines << QStringLiteral("%1 按深市股票查询；要看上证的指数，请输入 sh%1").arg(code);
        }
        lines.removeAll(QString());
        return lines.join(QLatin1Char('\n'));
    }
    case ColourRole:
        return static_cast<int>(row.colour);
    case StaleRole:
        return row.stale || row.delayMinutes > 0;
    case TrendRole:
        if (index.column() == Trend)
            return QVariant::fromValue(&row.trend);
        return {};
    case SortRole: {
        const std::string_view bytes = cellBytes(index.row(), index.column());
        const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                       [](char c) { return (c & 0x80) == 0; });
        // A code or threshold read from a GBK file sorts as the characters it shows, and so
        // do the figures of a row without a trade yet.
        const bool stored = index.column() == Code || index.column() == TakeProfit ||
                            index.column() == StopLoss;
        if (index.column() >= Shares) { // the figure itself, without the "+" a gain shows with
            QByteArray shown = text(index.row(), index.column()).toUtf8();
            return shown.startsWith('+') ? shown.mid(1) : shown;
        }
        if ((!ascii && stored) || (!stored && NoTradeYet(row.quote)))
            return text(index.row(), index.column()).toUtf8();
        return QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    }
    default:
        return {};
    }
}

Qt::ItemFlags WatchList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    // The two thresholds may be edited where they stand; the code and the quote may not.
    if (index.column() == TakeProfit || index.column() == StopLoss)
        return flags | Qt::ItemIsEditable;
    return flags;
}

RowId WatchList::append(WatchRow row)
{
    row.id = m_nextId++;
    const int position = rowCount();
    beginInsertRows({}, position, position);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return m_rows.back().id;
}

std::optional<int> WatchList::positionOf(RowId id) const
{
    // Rows only ever join at the end with a new, larger id, and a load numbers them afresh in
    // order: the ids rise along the list, so a quote finds its row without a walk over all.
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), id,
                                     [](const WatchRow &row, RowId wanted) { return row.id < wanted; });
    if (it == m_rows.end() || it->id != id)
        return std::nullopt;
    return static_cast<int>(it - m_rows.begin());
}

std::string_view WatchList::cellBytes(int position, int column) const
{
    const WatchRow &row = rowAt(position);
    switch (column) {
    case Code:
        return row.entry.code;
    case Name:
        return row.quote.name;
    case Price:
        return row.quote.price;
    case High:
        return row.quote.high;
    case Low:
        return row.quote.low;
    case Change:
        return row.quote.change;
    case TakeProfit:
        return row.entry.takeProfit;
    case StopLoss:
        return row.entry.stopLoss;
    }
    return {};
}

WatchEntries WatchList::entries() const
{
    WatchEntries list;
    list.reserve(m_rows.size());
    for (const auto &row : m_rows)
        list.push_back(row.entry);
    return list;
}

bool WatchList::applyQuote(RowId id, const Quote &quote, std::int64_t receivedAt, std::string note,
                           int delayMinutes)
{
    const auto position = positionOf(id);
    if (!position)
        return false;
    WatchRow &row = m_rows[static_cast<size_t>(*position)];
    row.quote = quote;
    row.colour = NoTradeYet(quote) ? RowColour::Default : ColourForChange(quote.change);
    row.note = std::move(note);
    row.receivedAt = receivedAt;
    row.stale = false;
    row.delayMinutes = delayMinutes;
    AddQuoteToTrend(row.trend, quote, receivedAt);
    const bool hadFigures = row.holding.priced;
    refigure(row, receivedAt);
    emit dataChanged(index(*position, 0), index(*position, ColumnCount - 1));
    if (row.holding.shares > 0 || hadFigures)
        emit holdingsChanged();
    return true;
}

const WatchRow *WatchList::rowById(RowId id) const
{
    const auto position = positionOf(id);
    return position ? &m_rows[static_cast<size_t>(*position)] : nullptr;
}

void WatchList::markStale(const std::function<bool(const WatchRow &)> &isStale)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const bool stale = isStale(m_rows[i]);
        if (stale == m_rows[i].stale)
            continue;
        m_rows[i].stale = stale;
        const int position = static_cast<int>(i);
        emit dataChanged(index(position, 0), index(position, ColumnCount - 1), {StaleRole});
    }
}

} // namespace velmora
