#pragma once

#include "core/holdings.h"

#include <QString>

namespace velmora {

// What hidden amounts show instead.
inline const QString kHiddenAmount = QStringLiteral("***");

// The holdings' totals as one line, currency by currency (人民币, 港元, 美元), never added across:
// "人民币 市值 12345.00 当日盈亏 +145.00 持仓盈亏 +875.00 · 港元 …" (or another separator between
// currencies); every amount *** when hidden. Empty when nothing is valued.
QString HoldingTotalsText(const TotalsByCurrency &totals, bool hideAmounts,
                          const QString &separator = QStringLiteral(" · "));

} // namespace velmora
