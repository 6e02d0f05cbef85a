#pragma once

#include "core/csvtable.h"
#include "core/exactdecimal.h"
#include "core/quote.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One lot of a holding: shares of a code bought on a day at a unit cost. A code's lots belong to
// every row of that code.
struct Lot
{
    std::string code;      // as the list stores codes (UTF-8)
    std::string date;      // "yyyy-MM-dd"
    std::int64_t shares = 0; // above zero; odd lots are fine
    std::string cost;      // as written: a number not below zero with at most 4 decimals

    bool operator==(const Lot &) const = default;
};
using Lots = std::vector<Lot>;

// The header of the lots file and of a lots table.
inline constexpr std::string_view kHoldingsHeader = "代码,买入日期,数量,成本价";

// Why a lot's fields cannot make a lot, in a few Chinese words joined by "；" (empty: they can):
// an empty code (or one with a line break), a date that is not "yyyy-MM-dd" or lies after
// today ("yyyy-MM-dd"), a count that is not a whole number above zero, a cost that is not a
// number, is below zero or has more than 4 decimals. *lot is filled when they can.
std::string LotProblems(std::string_view code, std::string_view date, std::string_view shares,
                        std::string_view cost, std::string_view today, Lot *lot = nullptr);

// The lots file: a UTF-8 byte order mark, the header, then one lot per line in the order given,
// CR LF after every line.
std::string HoldingsCsv(const Lots &lots);

// Whether a table's first record is the lots header (so an import knows which kind it is).
bool IsHoldingsTable(std::string_view utf8);

// A lots table read back: every lot, or none at all and every bad line.
struct HoldingsImport
{
    Lots lots;
    std::vector<CsvProblem> problems;
};
HoldingsImport ReadHoldingsCsv(std::string_view utf8, std::string_view today);

// What a row's lots come to at a quote. Amounts are exact; they are rounded where shown.
struct HoldingFigures
{
    std::int64_t shares = 0;
    Decimal cost;                       // sum of shares x unit cost
    std::optional<Decimal> averageCost; // cost / shares; nothing without lots
    bool priced = false;                // a quote to value them: the figures below
    Decimal marketValue;                // shares x price
    Decimal holdingProfit;              // shares x (price - unit cost)
    Decimal dayProfit;  // shares x (price - previous close), or x (price - cost) for today's lots
    Decimal dayBase;    // what the day's profit is counted on: previous close, or today's cost
};

// The figures of these lots at this quote (nullptr: none yet). today is the day in the quote's
// own market. A quote without a trade yet values the lots at its previous close.
HoldingFigures FiguresOf(const std::vector<const Lot *> &lots, const Quote *quote,
                         std::string_view today);

// The figures of one currency's rows, added up. Rows in different currencies never are.
struct HoldingTotals
{
    Decimal marketValue;
    Decimal holdingProfit;
    Decimal dayProfit;
    Decimal dayBase;
};
using TotalsByCurrency = std::map<std::string, HoldingTotals>; // by "CNY", "HKD", "USD"
void AddToTotals(TotalsByCurrency &totals, const std::string &currency, const HoldingFigures &figures);

// An amount as the list shows it: two decimals, "+" on a gain: "+145.00", "-60.00", "0.00".
std::string SignedAmount(const Decimal &amount);
// A day's profit over its base in percent, as SignedAmount writes it, with "%"; empty when the
// base is zero.
std::string SignedPercent(const Decimal &profit, const Decimal &base);

} // namespace velmora
