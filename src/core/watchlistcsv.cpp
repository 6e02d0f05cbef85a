#include "core/watchlistcsv.h"

#include "core/decimal.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kHeaderCode = "代码";
constexpr std::size_t kProblemsShown = 20;
constexpr std::size_t kValueShown = 20; // characters of a bad value quoted in a problem

void appendField(std::string &out, std::string_view value, bool quoteEmpty = false)
{
    // Blanks at either end are quoted too: spreadsheets drop them from a bare value, and a value
    // must come back as written. An empty code is quoted, so that its row is no blank line.
    const bool quote = value.find_first_of(",\"\r\n") != std::string_view::npos
                       || (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back())))
                       || (value.empty() && quoteEmpty);
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

enum class Separators { Comma, Tab, Either };

// One record as read: its fields (the vector keeps its strings between records, so reading
// does not allocate per field), the line it starts on and what was seen on the way.
struct Record
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
    std::string &addField()
    {
        if (count == fields.size()) {
            fields.emplace_back();
            quoted.push_back(false);
        }
        quoted[count] = false;
        std::string &field = fields[count++];
        field.clear();
        return field;
    }
    // A value as imported: as written when quoted, else without the blanks around it.
    std::string_view value(std::size_t i) const
    {
        return i < count && quoted[i] ? field(i) : TrimBlanks(field(i));
    }
    // A line holding nothing but blanks and separators, as spreadsheets write for empty rows.
    bool blank() const
    {
        if (unterminated)
            return false;
        for (std::size_t i = 0; i < count; ++i) {
            if (quoted[i] || !TrimBlanks(fields[i]).empty())
                return false;
        }
        return true;
    }
};

// Cuts the text into records, RFC 4180 style: a quote opens a quoted value only as the first
// character of a field; text after the closing quote is kept as it is, as is a quote inside an
// unquoted value.
class RecordReader final
{
public:
    RecordReader(std::string_view text, Separators separators)
        : m_text(text), m_separators(separators)
    {
    }

    bool next(Record &record)
    {
        if (m_pos >= m_text.size())
            return false;
        record.count = 0;
        record.line = m_line;
        record.unterminated = record.sawComma = record.sawTab = false;
        for (;;) {
            std::string &field = record.addField();
            if (m_pos < m_text.size() && m_text[m_pos] == '"') {
                if (!readQuoted(field)) {
                    record.unterminated = true;
                    return true;
                }
                record.quoted[record.count - 1] = true;
            }
            std::size_t end = m_pos;
            while (end < m_text.size() && !stops(m_text[end]))
                ++end;
            field.append(m_text.substr(m_pos, end - m_pos));
            m_pos = end;
            if (m_pos >= m_text.size())
                return true;
            const char c = m_text[m_pos++];
            if (c == '\r' || c == '\n') {
                if (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
                    ++m_pos;
                ++m_line;
                return true;
            }
            (c == ',' ? record.sawComma : record.sawTab) = true;
        }
    }

private:
    bool stops(char c) const
    {
        return c == '\r' || c == '\n' || (c == ',' && m_separators != Separators::Tab)
               || (c == '\t' && m_separators != Separators::Comma);
    }

    // From the opening quote to past the closing one; false when the text ends first.
    bool readQuoted(std::string &field)
    {
        ++m_pos;
        for (;;) {
            const std::size_t quote = m_text.find('"', m_pos);
            const std::size_t end = quote == std::string_view::npos ? m_text.size() : quote;
            countLineBreaks(m_pos, end);
            field.append(m_text.substr(m_pos, end - m_pos));
            if (quote == std::string_view::npos) {
                m_pos = m_text.size();
                return false;
            }
            if (quote + 1 < m_text.size() && m_text[quote + 1] == '"') {
                field += '"';
                m_pos = quote + 2;
                continue;
            }
            m_pos = quote + 1;
            return true;
        }
    }

    // Line breaks inside quotes still count for the line numbers of later records.
    void countLineBreaks(std::size_t from, std::size_t to)
    {
        for (std::size_t i = from; i < to; ++i) {
            if (m_text[i] == '\n'
                || (m_text[i] == '\r' && (i + 1 >= m_text.size() || m_text[i + 1] != '\n')))
                ++m_line;
        }
    }

    std::string_view m_text;
    Separators m_separators;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

Separators detectSeparator(std::string_view text)
{
    RecordReader probe(text, Separators::Either);
    Record record;
    while (probe.next(record)) {
        if (!record.blank())
            return record.sawTab && !record.sawComma ? Separators::Tab : Separators::Comma;
    }
    return Separators::Comma;
}

// A bad value as a problem shows it: on one line, and cut short when long.
std::string shown(std::string_view value)
{
    std::string out;
    std::size_t characters = 0;
    for (const char c : value) {
        const bool starts = (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        if (starts && ++characters > kValueShown) {
            out += "…";
            break;
        }
        out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
    }
    return out;
}

// What a record comes to: why it cannot be imported (reasons joined, empty when it can), and
// what the result notes of a record that is imported all the same.
struct Verdict
{
    std::string problems;
    std::string notes;
};

void addReason(std::string &to, std::string_view reason)
{
    if (!to.empty())
        to += "；";
    to += reason;
}

// A threshold is empty, a number not below zero, or a text the add dialog would have stored as
// typed: kept as it is and noted, since it never alerts. A negative number is refused: as a
// take-profit it would alert on every price.
void judgeThreshold(std::string_view value, std::string_view caption, Verdict &verdict)
{
    if (value.empty())
        return;
    if (const auto number = ParseDecimal(value)) {
        if (*number < 0)
            addReason(verdict.problems, std::string(caption) + "不能是负数：" + shown(value));
        return;
    }
    addReason(verdict.notes, std::string(caption) + "不是数字，按原样导入，不会触发预警：" + shown(value));
}

Verdict judge(const Record &record)
{
    Verdict verdict;
    if (record.unterminated) {
        verdict.problems = "引号没有结束";
        return verdict;
    }
    const std::string_view code = record.field(0);
    if (TrimBlanks(code).empty())
        addReason(verdict.notes, "股票代码为空，按原样导入");
    if (code.find_first_of("\r\n") != std::string_view::npos)
        addReason(verdict.problems, "股票代码含有换行");
    if (code.find('\0') != std::string_view::npos)
        addReason(verdict.problems, "股票代码含有空字符");
    judgeThreshold(record.value(1), "止盈价", verdict);
    judgeThreshold(record.value(2), "止损价", verdict);
    // Spreadsheets end rows with empty cells when another row is longer or a cell was once
    // used: empty fields after the third are not counted.
    std::size_t used = record.count;
    while (used > 3 && TrimBlanks(record.fields[used - 1]).empty())
        --used;
    if (used > 3)
        addReason(verdict.problems, "字段太多（" + std::to_string(used) + " 个，最多 3 个）");
    return verdict;
}

} // namespace

std::string WatchListCsv(const std::vector<CsvRow> &rows)
{
    std::string out;
    out += kByteOrderMark;
    out += "代码,止盈价,止损价\r\n";
    for (const CsvRow &row : rows) {
        appendField(out, row.code, true);
        out += ',';
        appendField(out, row.takeProfit);
        out += ',';
        appendField(out, row.stopLoss);
        out += "\r\n";
    }
    return out;
}

CsvImport ReadWatchListCsv(std::string_view utf8)
{
    if (utf8.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        utf8.remove_prefix(kByteOrderMark.size());
    CsvImport result;
    RecordReader reader(utf8, detectSeparator(utf8));
    Record record;
    bool first = true;
    while (reader.next(record)) {
        if (record.blank())
            continue;
        if (std::exchange(first, false) && !record.unterminated
            && TrimBlanks(record.field(0)) == kHeaderCode)
            continue;
        Verdict verdict = judge(record);
        if (!verdict.problems.empty()) {
            result.problems.push_back({record.line, std::move(verdict.problems)});
            continue;
        }
        if (!verdict.notes.empty())
            result.notes.push_back({record.line, std::move(verdict.notes)});
        if (result.problems.empty())
            result.entries.push_back({std::string(record.field(0)), std::string(record.value(1)),
                                      std::string(record.value(2))});
    }
    if (!result.problems.empty()) {
        result.entries.clear();
        result.notes.clear();
    }
    return result;
}

std::string CsvProblemsText(const std::vector<CsvProblem> &problems)
{
    std::string text;
    const std::size_t shownCount = std::min(problems.size(), kProblemsShown);
    for (std::size_t i = 0; i < shownCount; ++i) {
        if (i > 0)
            text += '\n';
        text += "第 " + std::to_string(problems[i].line) + " 行：" + problems[i].what;
    }
    if (problems.size() > shownCount)
        text += "\n……还有 " + std::to_string(problems.size() - shownCount) + " 行有问题";
    return text;
}

} // namespace velmora
