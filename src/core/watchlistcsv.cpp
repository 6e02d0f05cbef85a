#include "core/watchlistcsv.h"

#include "core/csvtable.h"
#include "core/decimal.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

constexpr std::string_view kHeaderCode = "代码";

// What a record comes to: why it cannot be imported (reasons joined, empty when it can), and
// what the result notes of a record that is imported all the same.
struct Verdict
{
    std::string problems;
    std::string notes;
};

// A threshold is empty, a number not below zero, or a text the add dialog would have stored as
// typed: kept as it is and noted, since it never alerts. A negative number is refused: as a
// take-profit it would alert on every price.
void judgeThreshold(std::string_view value, std::string_view caption, Verdict &verdict)
{
    if (value.empty())
        return;
    if (const auto number = ParseDecimal(value)) {
        if (*number < 0)
            AddCsvReason(verdict.problems, std::string(caption) + "不能是负数：" + ShownCsvValue(value));
        return;
    }
    AddCsvReason(verdict.notes, std::string(caption) + "不是数字，按原样导入，不会触发预警：" + ShownCsvValue(value));
}

Verdict judge(const CsvRecord &record)
{
    Verdict verdict;
    if (record.unterminated) {
        verdict.problems = "引号没有结束";
        return verdict;
    }
    const std::string_view code = record.field(0);
    if (TrimBlanks(code).empty())
        AddCsvReason(verdict.notes, "股票代码为空，按原样导入");
    if (code.find_first_of("\r\n") != std::string_view::npos)
        AddCsvReason(verdict.problems, "股票代码含有换行");
    if (code.find('\0') != std::string_view::npos)
        AddCsvReason(verdict.problems, "股票代码含有空字符");
    judgeThreshold(record.value(1), "止盈价", verdict);
    judgeThreshold(record.value(2), "止损价", verdict);
    const std::size_t used = record.usedFields();
    if (used > 3)
        AddCsvReason(verdict.problems, "字段太多（" + std::to_string(used) + " 个，最多 3 个）");
    return verdict;
}

} // namespace

std::string WatchListCsv(const std::vector<CsvRow> &rows)
{
    std::string out;
    out += kUtf8ByteOrderMark;
    out += "代码,止盈价,止损价\r\n";
    for (const CsvRow &row : rows) {
        AppendCsvField(out, row.code, true);
        out += ',';
        AppendCsvField(out, row.takeProfit);
        out += ',';
        AppendCsvField(out, row.stopLoss);
        out += "\r\n";
    }
    return out;
}

CsvImport ReadWatchListCsv(std::string_view utf8)
{
    CsvImport result;
    CsvReader reader(utf8);
    CsvRecord record;
    bool first = true;
    while (reader.next(record)) {
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

} // namespace velmora
