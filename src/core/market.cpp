#include "core/market.h"

namespace velmora {

namespace {

struct MarketNames
{
    const char *name;
    const char *city;
    const char *currency;
    const char *currencyCode;
};

const MarketNames &namesOf(Market market)
{
    static const MarketNames kNames[] = {
        {"A股", "上海", "人民币", "CNY"},
        {"港股", "香港", "港元", "HKD"},
        {"美股", "纽约", "美元", "USD"},
    };
    return kNames[static_cast<int>(market)];
}

} // namespace

const char *MarketName(Market market)
{
    return namesOf(market).name;
}

const char *MarketCity(Market market)
{
    return namesOf(market).city;
}

const char *CurrencyName(Market market)
{
    return namesOf(market).currency;
}

const char *CurrencyCode(Market market)
{
    return namesOf(market).currencyCode;
}

} // namespace velmora
