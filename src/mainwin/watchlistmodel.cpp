#include "mainwin/watchlistmodel.h"

#include "platform/textcodec.h"

#include <QColor>

namespace velmora {

namespace {

struct ColumnInfo
{
    const char *caption;
    int widthTwips;
    Qt::Alignment alignment;
};

const ColumnInfo kColumns[WatchListModel::ColumnCount] = {
    {"代码", 800, Qt::AlignLeft},      {"股票名称", 1000, Qt::AlignHCenter},
    {"现价", 800, Qt::AlignRight},     {"最高价", 800, Qt::AlignRight},
    {"最低价", 800, Qt::AlignRight},   {"涨跌幅", 800, Qt::AlignHCenter},
    {"止盈价", 800, Qt::AlignRight},   {"止损价", 800, Qt::AlignRight},
};

} // namespace

WatchListModel::WatchListModel(QObject *parent) : QAbstractTableModel(parent) {}

int WatchListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WatchListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString WatchListModel::caption(int column)
{
    return QString::fromUtf8(kColumns[column].caption);
}

int WatchListModel::widthTwips(int column)
{
    return kColumns[column].widthTwips;
}

Qt::Alignment WatchListModel::alignment(int column)
{
    return kColumns[column].alignment;
}

QString WatchListModel::text(int position, int column) const
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

QVariant WatchListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignment(index.column()) | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        switch (rowAt(index.row()).colour) {
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

QVariant WatchListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return caption(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(section) | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags WatchListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

std::uint64_t WatchListModel::append(WatchRow row)
{
    row.id = m_nextId++;
    const int position = rowCount();
    beginInsertRows({}, position, position);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return m_rows.back().id;
}

std::uint64_t WatchListModel::appendLoaded(const WatchEntry &entry)
{
    WatchRow row;
    row.entry = entry;
    row.name = placeholder();
    return append(std::move(row));
}

std::uint64_t WatchListModel::appendAdded(const WatchEntry &entry)
{
    WatchRow row;
    row.entry = entry;
    row.price = placeholder();
    return append(std::move(row));
}

void WatchListModel::insertRow(int position, const WatchRow &row)
{
    position = std::clamp(position, 0, rowCount());
    beginInsertRows({}, position, position);
    m_rows.insert(m_rows.begin() + position, row);
    endInsertRows();
}

WatchRow WatchListModel::takeRow(int position)
{
    beginRemoveRows({}, position, position);
    WatchRow row = std::move(m_rows[static_cast<size_t>(position)]);
    m_rows.erase(m_rows.begin() + position);
    endRemoveRows();
    return row;
}

std::optional<int> WatchListModel::positionOf(std::uint64_t id) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

WatchList WatchListModel::entries() const
{
    WatchList list;
    list.reserve(m_rows.size());
    for (const auto &row : m_rows)
        list.push_back(row.entry);
    return list;
}

bool WatchListModel::setQuote(std::uint64_t id, const Quote &quote)
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
    emit dataChanged(index(*position, 0), index(*position, ColumnCount - 1));
    return true;
}

} // namespace velmora
