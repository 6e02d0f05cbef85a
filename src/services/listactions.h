#pragma once

#include "core/watchentry.h"
#include "services/actionresult.h"
#include "watchlist/changefailure.h"

#include <QString>

#include <array>
#include <vector>

#include <optional>
#include <string>

namespace velmora {

class WatchList;

// Every change a user asks of the list, carried out on the one WatchList: add, remove, edit a
// threshold in place, import, export and restore. The windows say what the user asked for;
// this decides, changes the list (which changes its files first, all or nothing) and returns
// what to tell. Nothing here shows anything.
class ListActions final
{
public:
    explicit ListActions(WatchList &list);

    // Why a change of this kind is refused before the user even picks a file or types a code
    // (a run that writes nothing), when it is.
    std::optional<QString> refusalBeforeAsking(WatchListChange change) const;

    // A new last row, the entry as typed: nothing is checked.
    ActionResult add(const WatchEntry &entry);
    // The row at this position; on a failure the files and the row stay.
    ActionResult remove(int position);
    // A take-profit or stop-loss cell (column TakeProfit or StopLoss) edited in place to typed:
    // empty or a number, or refused; an edit that leaves the text as it was writes nothing.
    ActionResult editThreshold(int position, int column, const QString &typed);
    // Reads a CSV or tab-separated file (UTF-8 with or without a byte order mark, or GBK) and
    // adds its rows as one change; a file with any bad line adds nothing and the message names
    // every such line. A run that may not write refuses before reading.
    ActionResult importFile(const QString &path);
    // Writes the list as CSV (UTF-8 with a byte order mark, RFC 4180), the values as the list
    // shows them, beside the file and renamed over it; no file of the list changes.
    ActionResult exportFile(const QString &path) const;
    // The three files as the named copy holds them.
    ActionResult restore(const std::string &snapshotName);

    // A code's lots as the holdings window leaves them, each checked first (a date not after
    // today, a count above zero, a cost not below zero).
    ActionResult setLots(const std::string &code, const std::vector<std::array<std::string, 3>> &lots);
    // A lots table (代码,买入日期,数量,成本价) added to the lots as one change; codes not on the list
    // come in as rows. A file with any bad line adds nothing and the message names every such
    // line.
    ActionResult importHoldings(const QString &path);
    // The lots file's own format, beside the file and renamed over it.
    ActionResult exportHoldings(const QString &path) const;
    // An import of either kind: the file's header says which.
    ActionResult importAnyTable(const QString &path);

private:
    // A table read for an import: its bytes, or why it cannot be read (nothing read then).
    std::optional<std::string> readTable(const QString &path, const QString &nothingDone,
                                         ActionResult &refused) const;
    ActionResult writeTable(const QString &path, const std::string &bytes, int rows,
                            const QString &what) const;
    // What a change came to: refused with why, or done (and said when its copy could not be
    // taken first).
    ActionResult outcomeOf(const std::optional<StoreError> &error, WatchListChange change,
                           ActionResult done = ActionResult::done()) const;

    WatchList &m_list;
};

} // namespace velmora
