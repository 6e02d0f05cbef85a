#pragma once

#include "platform/httpqueue.h"
#include "services/sourcepolicy.h"

#include <memory>
#include <string>

namespace velmora::testing {

// The quote source a service under test asks: the custom service at base, or a public page
// served at base, asked at every tick or politely.
inline std::unique_ptr<SourcePolicy> MakeSources(const QUrl &base,
                                                 QuoteSourceKind kind = QuoteSourceKind::Custom)
{
    UserSettings settings;
    settings.source = kind;
    settings.customBase = base;
    return std::make_unique<SourcePolicy>(SourcePolicy::Bases{base, base, base, base}, settings);
}

// A quote as a row shows it: name, price, high, low and change.
inline Quote QuoteOf(std::string name, std::string price, std::string high, std::string low,
                     std::string change)
{
    Quote quote;
    quote.name = std::move(name);
    quote.price = std::move(price);
    quote.high = std::move(high);
    quote.low = std::move(low);
    quote.change = std::move(change);
    return quote;
}

} // namespace velmora::testing
