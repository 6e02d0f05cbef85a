#include "ui/holdingstext.h"

#include "core/market.h"

#include <QStringList>

namespace velmora {

QString HoldingTotalsText(const TotalsByCurrency &totals, bool hideAmounts, const QString &separator)
{
    QStringList parts;
    for (const Market market : kMarkets) {
        const auto sum = totals.find(CurrencyCode(market));
        if (sum == totals.end())
            continue;
        const auto amount = [hideAmounts](const std::string &text) {
            return hideAmounts ? kHiddenAmount : QString::fromStdString(text);
        };
        parts << QStringLiteral("%1 市值 %2 当日盈亏 %3 持仓盈亏 %4")
                     .arg(QString::fromUtf8(CurrencyName(market)), amount(sum->second.marketValue.text(2)),
                          amount(SignedAmount(sum->second.dayProfit)),
                          amount(SignedAmount(sum->second.holdingProfit)));
    }
    return parts.join(separator);
}

} // namespace velmora
