#pragma once

#include "platform/userconfig.h"

#include <QByteArray>
#include <QUrl>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One quote as a row shows it: name, price, day high, day low and the change ("-1.23%"), and
// the quote's own date and time when the reply carries them.
struct StockQuote
{
    std::string name;
    std::string price;
    std::string high;
    std::string low;
    std::string change;
    std::string date; // "yyyy-MM-dd", empty when unknown
    std::string time; // "HH:mm:ss", empty when unknown
    // The described reply may lack the fields themselves, which the add dialog reads apart
    // from empty ones: a missing price counts as 0, an empty one leaves the boxes alone.
    bool hasName = true;
    bool hasPrice = true;

    bool operator==(const StockQuote &) const = default;
};

// One request: the address and, for a page that wants one, the referer.
struct QuoteRequest
{
    QUrl url;
    QByteArray referer;
};

// Where quotes come from, as the refresh, the alert monitor and the add dialog's lookup see
// it: how a row's code is asked, how many codes go into one request, and how a reply is read
// back into quotes by key.
class QuoteSource
{
public:
    virtual ~QuoteSource() = default;

    virtual QuoteSourceKind kind() const = 0;
    // The public pages: many codes per request, asked politely.
    virtual bool isPublic() const = 0;
    // Codes in one request: 1 for the described service, kMaxCodesPerRequest for the pages.
    virtual std::size_t batchSize() const = 0;
    // The key a code is asked by: the code as stored for the described service, the market
    // symbol for the pages. Nothing: the code cannot be asked.
    virtual std::optional<std::string> keyOf(const std::string &code) const = 0;
    virtual QuoteRequest request(const std::vector<std::string> &keys) const = 0;
    // Whether a 2xx body is a reply of this source at all (a page may answer an error page
    // with 200): one that is not counts as a failure.
    virtual bool readable(const std::string &utf8Body) const = 0;
    // The quotes a reply holds, by key. A key missing from the result had no quote in it.
    virtual std::map<std::string, StockQuote> read(const std::string &utf8Body,
                                                   const std::vector<std::string> &keys) const = 0;
};

// The described service at base ("/msq?cn_<code>", one code per request): custom and demo.
std::unique_ptr<QuoteSource> MakeDescribedSource(QuoteSourceKind kind, const QUrl &base);
// The two public batch pages.
std::unique_ptr<QuoteSource> MakeTencentSource(const QUrl &base);
std::unique_ptr<QuoteSource> MakeSinaSource(const QUrl &base);

// The referer the second page wants; without it the host answers 403.
inline constexpr char kSinaReferer[] = "https://finance.sina.com.cn/";

} // namespace velmora
