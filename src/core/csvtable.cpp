#include "core/csvtable.h"

#include "core/decimal.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

constexpr std::size_t kValueShown = 20; // characters of a bad value quoted in a problem
constexpr std::size_t kProblemsShown = 20;

enum class Separators { Comma, Tab, Either };

// Cuts the text into records, RFC 4180 style: a quote opens a quoted value only as the first
// character of a field; text after the closing quote is kept as it is, as is a quote inside an
// unquoted value.
class RecordReader
{
public:
    RecordReader(std::string_view text, Separators separators)
        : m_text(text), m_separators(separators)
    {
    }

    bool next(CsvRecord &record)
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
    CsvRecord record;
    while (probe.next(record)) {
        if (!record.blank())
            return record.sawTab && !record.sawComma ? Separators::Tab : Separators::Comma;
    }
    return Separators::Comma;
}

} // namespace

std::string_view CsvRecord::value(std::size_t i) const
{
    return i < count && quoted[i] ? field(i) : TrimBlanks(field(i));
}

bool CsvRecord::blank() const
{
    if (unterminated)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (quoted[i] || !TrimBlanks(fields[i]).empty())
            return false;
    }
    return true;
}

std::size_t CsvRecord::usedFields() const
{
    std::size_t used = count;
    while (used > 0 && !quoted[used - 1] && TrimBlanks(fields[used - 1]).empty())
        --used;
    return used;
}

std::string &CsvRecord::addField()
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

class CsvReader::Cutter : public RecordReader
{
public:
    using RecordReader::RecordReader;
};

CsvReader::CsvReader(std::string_view utf8)
{
    if (utf8.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark)
        utf8.remove_prefix(kUtf8ByteOrderMark.size());
    m_cutter = new Cutter(utf8, detectSeparator(utf8));
}

CsvReader::~CsvReader()
{
    delete m_cutter;
}

bool CsvReader::next(CsvRecord &record)
{
    while (m_cutter->next(record)) {
        if (!record.blank())
            return true;
    }
    return false;
}

void AppendCsvField(std::string &out, std::string_view value, bool quoteEmpty)
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

// A bad value as a problem shows it: on one line, and cut short when long.
std::string ShownCsvValue(std::string_view value)
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


void AddCsvReason(std::string &reasons, std::string_view reason)
{
    if (!reasons.empty())
        reasons += "；";
    reasons += reason;
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
