#pragma once

#include <QString>

namespace velmora {

class WatchList;

// What an import or an export came to, for a message or the terminal.
struct TransferOutcome
{
    bool ok = false;
    int rows = 0;    // rows added, or written
    QString message; // in Chinese: what was done, or why nothing was
};

// Reads a CSV or tab-separated file (UTF-8 with or without a byte order mark, or GBK) and adds
// its rows to the list as one change; a file with any bad line adds nothing and the message
// names every such line. A run that may not write refuses before reading.
TransferOutcome ImportList(WatchList &list, const QString &path);

// Writes the list as CSV (UTF-8 with a byte order mark, RFC 4180), the values as the list shows
// them, beside the file and renamed over it; no file of the list changes.
TransferOutcome ExportList(const WatchList &list, const QString &path);

} // namespace velmora
