#include "watchlist/watchlist.h"

#include "core/marketsymbol.h"
#include "platform/textcodec.h"

#include <QDateTime>

#include <algorithm>

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
    endResetModel();
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
        append(std::move(row));
    }
    return std::nullopt;
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
    // A restore can be undone like any other change.
    if (auto error = changeFiles([&] { return m_files.restore({copy->codes, copy->takeProfit, copy->stopLoss}); }))
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
    if (auto error = changeFiles([&] { return m_files.rewrite(remaining); }))
        return error;
    beginRemoveRows({}, position, position);
    m_rows.erase(m_rows.begin() + position);
    endRemoveRows();
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
    case SortRole: {
        const std::string_view bytes = cellBytes(index.row(), index.column());
        const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                       [](char c) { return (c & 0x80) == 0; });
        // A code or threshold read from a GBK file sorts as the characters it shows, and so
        // do the figures of a row without a trade yet.
        const bool stored = index.column() == Code || index.column() == TakeProfit ||
                            index.column() == StopLoss;
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
    emit dataChanged(index(*position, 0), index(*position, ColumnCount - 1));
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
