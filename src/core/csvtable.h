#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// One record of a CSV or tab-separated table as read: its fields (the vectors keep their
// strings between records, so reading does not allocate per field), the line it starts on and
// whether its last quote was never closed.
struct CsvRecord
{
    std::vector<std::string> fields;
    std::vector<bool> quoted; // the field was written in quotes: kept exactly as written
    std::size_t count = 0;
    std::size_t line = 0;
    bool unterminated = false;
    bool sawComma = false;
    bool sawTab = false;

    std::string_view field(std::size_t i) const
    {
        return i < count ? std::string_view(fields[i]) : std::string_view();
    }
    // A value as imported: as written when quoted, else without the blanks around it.
    std::string_view value(std::size_t i) const;
    // A line holding nothing but blanks and separators, as spreadsheets write for empty rows.
    bool blank() const;
    // The fields, trailing empty ones not counted (spreadsheets end rows with empty cells when
    // another row is longer or a cell was once used).
    std::size_t usedFields() const;
    std::string &addField();
};

// Reads a table of UTF-8 text (a leading byte order mark skipped) record by record, RFC 4180
// style, skipping blank records. A tab separates when the first non-blank record holds a tab and
// no comma outside quotes; else a comma does. A line ends with CR LF, LF or a lone CR.
class CsvReader final
{
public:
    explicit CsvReader(std::string_view utf8);
    ~CsvReader();
    bool next(CsvRecord &record);

private:
    class Cutter;
    Cutter *m_cutter;
};

// Appends one field: quoted, inner quotes doubled, exactly when it needs it to come back as
// written (a separator, a quote or a line break inside, blanks at either end), or when empty
// and quoteEmpty (so that a row of one empty value is no blank line).
void AppendCsvField(std::string &out, std::string_view value, bool quoteEmpty = false);

// A bad value as a problem shows it: on one line, and cut short when long.
std::string ShownCsvValue(std::string_view value);

// A record that cannot be imported, or one imported with a note: the line of the file it
// starts on (the first line is 1, the header counts) and why, in a few Chinese words.
struct CsvProblem
{
    std::size_t line = 0;
    std::string what;

    friend bool operator==(const CsvProblem &, const CsvProblem &) = default;
};

// One more reason for a record, after a "；" when there are others.
void AddCsvReason(std::string &reasons, std::string_view reason);

// The problems as lines "第 N 行：…", joined by LF; after the first 20, one line tells how many
// more there are.
std::string CsvProblemsText(const std::vector<CsvProblem> &problems);

} // namespace velmora
