#pragma once

#include "core/csvtable.h"
#include "core/watchentry.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One row of the list as the list shows it: UTF-8 texts (the caller decodes the stored bytes).
struct CsvRow
{
    std::string code;
    std::string takeProfit;
    std::string stopLoss;
};

// The list as one CSV table: a UTF-8 byte order mark (so spreadsheets on any system read the
// Chinese), the header "代码,止盈价,止损价", then one line per row. Lines end with CR LF; a value
// is quoted, inner quotes doubled, exactly when it needs it to come back as written (an empty
// code is written "" so that its row is no blank line). An empty threshold stays empty.
std::string WatchListCsv(const std::vector<CsvRow> &rows);

// The rows of an imported table in UTF-8 with notes on rows imported as they stand, or nothing
// at all and every bad record.
struct CsvImport
{
    WatchEntries entries;
    std::vector<CsvProblem> problems;
    std::vector<CsvProblem> notes;
};

// Reads comma- or tab-separated text, already decoded to UTF-8 (a leading byte order mark is
// skipped). A tab separates when the first non-blank record holds a tab and no comma outside
// quotes; else a comma does. Fields may be quoted as in RFC 4180; a line ends with CR LF, LF or a
// lone CR. A first record whose first field is "代码" is the header. Blank records are skipped.
// A record is a code, kept as written, and up to two thresholds; a value written in quotes is
// kept exactly, an unquoted one without the blanks around it. A threshold that is not a number
// is kept as text, as the add dialog keeps what is typed, and noted; so is an empty code. A
// negative threshold, a code with a line break or NUL, too many fields or an unterminated
// quote make a bad record, and any bad record makes the import empty. A blank record (only
// blanks and separators, nothing quoted) is skipped.
CsvImport ReadWatchListCsv(std::string_view utf8);

} // namespace velmora
