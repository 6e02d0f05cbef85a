#pragma once

#include <array>

namespace velmora {

// The markets whose codes the public pages know: Shanghai, Shenzhen and Beijing (A-shares,
// funds, bonds and their indices), Hong Kong, and the United States. Each trades at its own
// hours in its own time zone and quotes in its own currency.
enum class Market { AShare, HongKong, UnitedStates };

inline constexpr std::array<Market, 3> kMarkets{Market::AShare, Market::HongKong,
                                                Market::UnitedStates};

// In Chinese, UTF-8: "A股", "港股", "美股".
const char *MarketName(Market market);
// The market's city, whose clock its quote times are told in: "上海", "香港", "纽约".
const char *MarketCity(Market market);
// "人民币", "港元", "美元".
const char *CurrencyName(Market market);
// "CNY", "HKD", "USD".
const char *CurrencyCode(Market market);

} // namespace velmora
