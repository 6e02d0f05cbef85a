#pragma once

#include <QString>
#include <Qt>

namespace velmora {

// How the list view shows the list's columns: each column's caption, width in twips and
// alignment, in the list's column order (WatchList::Column).
struct ListColumn
{
    QString caption;
    int widthTwips = 0;
    Qt::Alignment alignment;
};

ListColumn ListColumnAt(int column);

} // namespace velmora
