#pragma once

#include "services/quotesources.h"

#include <memory>

namespace velmora::testing {

// The quote source a service under test asks: the described service at base (custom), or a
// public page served at base, asked in the described timing or politely.
inline std::unique_ptr<QuoteSources> MakeSources(const QUrl &base,
                                                 QuoteSourceKind kind = QuoteSourceKind::Custom)
{
    UserSettings settings;
    settings.source = kind;
    settings.customBase = base;
    return std::make_unique<QuoteSources>(QuoteSources::Bases{base, base, base, base}, settings);
}

} // namespace velmora::testing
