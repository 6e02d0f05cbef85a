#include "core/holdings.h"

#include "core/decimal.h"
#include "core/tradingclock.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "yyyy-MM-dd" naming a real day.
bool isDate(std::string_view date)
{
    return date.size() == 10 && date[4] == '-' && date[7] == '-' &&
           MarketUnixSeconds(Market::AShare, date, "00:00:00").has_value();
}

} // namespace

std::string LotProblems(std::string_view code, std::string_view date, std::string_view shares,
                        std::string_view cost, std::string_view today, Lot *lot)
{
    std::string problems;
    if (TrimBlanks(code).empty())
        AddCsvReason(problems, "股票代码为空");
    else if (code.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        AddCsvReason(problems, "股票代码含有换行或空字符");
    date = TrimBlanks(date);
    if (date.empty())
        AddCsvReason(problems, "买入日期为空");
    else if (!isDate(date))
        AddCsvReason(problems, "买入日期不是日期（应为 yyyy-MM-dd）：" + ShownCsvValue(date));
    else if (date > today)
        AddCsvReason(problems, "买入日期在今天之后：" + std::string(date));
    shares = TrimBlanks(shares);
    const bool wholeCount = isDigits(shares) && shares.size() <= 15;
    if (shares.empty())
        AddCsvReason(problems, "数量为空");
    else if (!wholeCount || std::stoll(std::string(shares)) <= 0)
        AddCsvReason(problems, "数量须为大于零的整数：" + ShownCsvValue(shares));
    cost = TrimBlanks(cost);
    const auto unitCost = Decimal::parse(cost);
    if (cost.empty())
        AddCsvReason(problems, "成本价为空");
    else if (!unitCost || unitCost->isNegative())
        AddCsvReason(problems, "成本价须为不小于零的数字：" + ShownCsvValue(cost));
    else if (unitCost->scale() > 4)
        AddCsvReason(problems, "成本价最多 4 位小数：" + ShownCsvValue(cost));
    if (problems.empty() && lot)
        *lot = Lot{std::string(code), std::string(date), std::stoll(std::string(shares)), std::string(cost)};
    return problems;
}

std::string HoldingsCsv(const Lots &lots)
{
    std::string out(kUtf8ByteOrderMark);
    out += kHoldingsHeader;
    out += "\r\n";
    for (const Lot &lot : lots) {
        AppendCsvField(out, lot.code, true);
        out += ',' + lot.date + ',' + std::to_string(lot.shares) + ',' + lot.cost + "\r\n";
    }
    return out;
}

bool IsHoldingsTable(std::string_view utf8)
{
    CsvReader reader(utf8);
    CsvRecord record;
    return reader.next(record) && record.usedFields() == 4 && record.value(0) == "代码" &&
           record.value(1) == "买入日期" && record.value(2) == "数量" && record.value(3) == "成本价";
}

HoldingsImport ReadHoldingsCsv(std::string_view utf8, std::string_view today)
{
    HoldingsImport result;
    CsvReader reader(utf8);
    CsvRecord record;
    bool first = true;
    while (reader.next(record)) {
        if (std::exchange(first, false) && record.value(0) == "代码" && record.value(1) == "买入日期")
            continue;
        std::string problems;
        Lot lot;
        if (record.unterminated)
            problems = "引号没有结束";
        else if (record.usedFields() > 4)
            problems = "字段太多（" + std::to_string(record.usedFields()) + " 个，最多 4 个）";
        else
            problems = LotProblems(record.field(0), record.value(1), record.value(2), record.value(3),
                                   today, &lot);
        if (!problems.empty())
            result.problems.push_back({record.line, std::move(problems)});
        else if (result.problems.empty())
            result.lots.push_back(std::move(lot));
    }
    if (!result.problems.empty())
        result.lots.clear();
    return result;
}

HoldingFigures FiguresOf(const std::vector<const Lot *> &lots, const Quote *quote,
                         std::string_view today)
{
    HoldingFigures figures;
    for (const Lot *lot : lots) {
        figures.shares += lot->shares;
        figures.cost += Decimal::whole(lot->shares) * Decimal::parse(lot->cost).value_or(Decimal());
    }
    if (lots.empty())
        return figures;
    figures.averageCost = Decimal::divide(figures.cost, Decimal::whole(figures.shares), 4);
    if (!quote)
        return figures;
    // Without a trade yet the lots are worth what they were at the close.
    const auto price = Decimal::parse(NoTradeYet(*quote) ? quote->previousClose : quote->price);
    const auto previous = Decimal::parse(quote->previousClose);
    if (!price || price->isZero())
        return figures;
    figures.priced = true;
    for (const Lot *lot : lots) {
        const Decimal shares = Decimal::whole(lot->shares);
        const Decimal cost = Decimal::parse(lot->cost).value_or(Decimal());
        figures.marketValue += shares * *price;
        figures.holdingProfit += shares * (*price - cost);
        // A lot bought today made its day from its own cost, not from yesterday's close.
        const Decimal base = lot->date == today || !previous ? cost : *previous;
        figures.dayProfit += shares * (*price - base);
        figures.dayBase += shares * base;
    }
    return figures;
}

void AddToTotals(TotalsByCurrency &totals, const std::string &currency, const HoldingFigures &figures)
{
    if (!figures.priced)
        return;
    HoldingTotals &sum = totals[currency];
    sum.marketValue += figures.marketValue;
    sum.holdingProfit += figures.holdingProfit;
    sum.dayProfit += figures.dayProfit;
    sum.dayBase += figures.dayBase;
}

std::string SignedAmount(const Decimal &amount)
{
    const std::string text = amount.text(2);
    return text.front() == '-' || text == "0.00" ? text : "+" + text;
}

std::string SignedPercent(const Decimal &profit, const Decimal &base)
{
    const auto ratio = Decimal::divide(profit * Decimal::whole(100), base, 2);
    return ratio ? SignedAmount(*ratio) + "%" : std::string();
}

} // namespace velmora
