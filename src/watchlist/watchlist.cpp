#include "watchlist/watchlist.h"

#include "platform/textcodec.h"

#include <QColor>
#include <QDateTime>
#include <QFont>

#include <algorithm>

namespace velmora {

namespace {

struct ColumnInfo
{
    const char *caption;
    int widthTwips;
    Qt::Alignment alignment;
};

const ColumnInfo kColumns[WatchList::ColumnCount] = {
    {"代码", 800, Qt::AlignLeft},      {"股票名称", 1000, Qt::AlignHCenter},
    {"现价", 800, Qt::AlignRight},     {"最高价", 800, Qt::AlignRight},
    {"最低价", 800, Qt::AlignRight},   {"涨跌幅", 800, Qt::AlignHCenter},
    {"止盈价", 800, Qt::AlignRight},   {"止损价", 800, Qt::AlignRight},
};

} // namespace

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
        row.name = placeholder().toStdString(); // a loaded row shows it in the name column
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
    snapshotBeforeChange();
    if (auto error = m_files.append(entries))
        return error;
    for (const WatchEntry &entry : entries) {
        WatchRow row;
        row.entry = entry;
        row.price = placeholder().toStdString(); // an added one in the price column
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
    snapshotBeforeChange();
    const bool takeProfit = column == TakeProfit;
    if (auto error = m_files.setThresholds(static_cast<std::size_t>(position),
                                           takeProfit ? std::optional(value) : std::nullopt,
                                           takeProfit ? std::nullopt : std::optional(value)))
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
    snapshotBeforeChange(); // a restore can be undone like any other change
    if (auto error = m_files.restore({copy->codes, copy->takeProfit, copy->stopLoss}))
        return error;
    load();
    return std::nullopt;
}

std::vector<SnapshotInfo> WatchList::snapshots() const
{
    return ListSnapshots(m_files.dir(), m_files.fileSystem());
}

void WatchList::snapshotBeforeChange()
{
    const std::string stem =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")).toStdString();
    auto error = TakeSnapshot(m_files.dir(), stem, m_files.fileSystem());
    if (!error)
        error = PruneSnapshots(m_files.dir(), kSnapshotsKept, m_files.fileSystem());
    if (error && !std::exchange(m_snapshotFailureTold, true))
        emit snapshotFailed(*error);
}

std::optional<StoreError> WatchList::removeAt(int position)
{
    if (position < 0 || position >= rowCount())
        return std::nullopt;
    if (m_files.refusal())
        return m_files.refusal();
    snapshotBeforeChange();
    WatchEntries remaining = entries();
    remaining.erase(remaining.begin() + position);
    if (auto error = m_files.rewrite(remaining))
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

QString WatchList::caption(int column)
{
    return QString::fromUtf8(kColumns[column].caption);
}

int WatchList::widthTwips(int column)
{
    return kColumns[column].widthTwips;
}

Qt::Alignment WatchList::alignment(int column)
{
    return kColumns[column].alignment;
}

QString WatchList::text(int position, int column) const
{
    const WatchRow &row = rowAt(position);
    switch (column) {
    case Code:
        return DecodeStored(row.entry.code);
    case Name:
        return QString::fromStdString(row.name);
    case Price:
        return QString::fromStdString(row.price);
    case High:
        return QString::fromStdString(row.high);
    case Low:
        return QString::fromStdString(row.low);
    case Change:
        return QString::fromStdString(row.change);
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
        // The cell, and how fresh the row's quote is or why it has none.
        QString tip = text(index.row(), index.column());
        const QString about = !row.note.empty()      ? QString::fromStdString(row.note)
                              : !row.quoteTime.empty() ? QStringLiteral("行情时间：%1")
                                                             .arg(QString::fromStdString(row.quoteTime))
                                                       : QString();
        if (!about.isEmpty())
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) + about;
        return tip;
    }
    case Qt::FontRole:
        if (row.stale) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()) | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        switch (row.colour) {
        case RowColour::Red:
            return QColor(255, 0, 0);
        case RowColour::Blue:
            return QColor(0, 0, 255);
        case RowColour::Default:
            return {};
        }
        return {};
    default:
        return {};
    }
}

QVariant WatchList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return caption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(section) | Qt::AlignVCenter);
    return {};
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
        return row.name;
    case Price:
        return row.price;
    case High:
        return row.high;
    case Low:
        return row.low;
    case Change:
        return row.change;
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

bool WatchList::applyQuote(RowId id, const Quote &quote)
{
    const auto position = positionOf(id);
    if (!position)
        return false;
    WatchRow &row = m_rows[static_cast<size_t>(*position)];
    row.name = quote.name;
    row.price = quote.price;
    row.high = quote.high;
    row.low = quote.low;
    row.change = quote.change;
    row.colour = ColourForChange(quote.change);
    row.quoteTime = quote.time;
    row.note = quote.note;
    row.receivedAt = quote.receivedAt;
    row.stale = false;
    emit dataChanged(index(*position, 0), index(*position, ColumnCount - 1));
    return true;
}

void WatchList::markStale(const std::function<bool(const WatchRow &)> &isStale)
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const bool stale = isStale(m_rows[i]);
        if (stale == m_rows[i].stale)
            continue;
        m_rows[i].stale = stale;
        const int position = static_cast<int>(i);
        emit dataChanged(index(position, 0), index(position, ColumnCount - 1), {Qt::FontRole});
    }
}

} // namespace velmora
