#include "ui/listcolumns.h"

#include "watchlist/watchlist.h"

namespace velmora {

ListColumn ListColumnAt(int column)
{
    struct Row
    {
        const char *caption;
        int widthTwips;
        Qt::Alignment alignment;
    };
    static const Row kColumns[WatchList::ColumnCount] = {
        {"代码", 800, Qt::AlignLeft},      {"股票名称", 1000, Qt::AlignHCenter},
        {"现价", 800, Qt::AlignRight},     {"最高价", 800, Qt::AlignRight},
        {"最低价", 800, Qt::AlignRight},   {"涨跌幅", 800, Qt::AlignHCenter},
        {"止盈价", 800, Qt::AlignRight},   {"止损价", 800, Qt::AlignRight},
        {"持仓", 800, Qt::AlignRight},     {"成本价", 800, Qt::AlignRight},
        {"当日盈亏", 1000, Qt::AlignRight}, {"持仓盈亏", 1000, Qt::AlignRight},
        {"走势", 1200, Qt::AlignHCenter},
    };
    if (column < 0 || column >= WatchList::ColumnCount)
        return {};
    const Row &row = kColumns[column];
    return {QString::fromUtf8(row.caption), row.widthTwips, row.alignment};
}

} // namespace velmora
