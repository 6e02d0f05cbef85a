#pragma once

#include "core/market.h"
#include "core/quote.h"
#include "platform/userconfig.h"

#include <QByteArray>
#include <QUrl>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// How a code is asked: the key the request carries, and the market it belongs to, whose codes
// go into requests of their own.
struct AskKey
{
    std::string key;
    Market market = Market::AShare;
};

// One request: the address and, for a page that wants one, the referer.
struct QuoteRequest
{
    QUrl url;
    QByteArray referer;
};

// The address and reply format of one quote service: how a row's code is asked, how many codes
// go into one request, and how a reply is read back into quotes by key. It holds no state and
// sends nothing itself; the batcher sends what it builds.
class QuoteFormat
{
public:
    virtual ~QuoteFormat() = default;

    virtual QuoteSourceKind kind() const = 0;
    // The public pages: many codes per request, asked politely.
    virtual bool isPublic() const = 0;
    // Codes in one request: 1 for the custom service, kMaxCodesPerRequest for the pages.
    virtual std::size_t batchSize() const = 0;
    // The key a code is asked by: the code as stored for the custom service, the page's symbol
    // for the pages. Nothing: the code cannot be asked, and unaskableText() says why.
    virtual std::optional<AskKey> keyOf(const std::string &code) const = 0;
    virtual std::string unaskableText(const std::string &code) const = 0;
    virtual QuoteRequest request(const std::vector<std::string> &keys) const = 0;
    // The quotes a 2xx body holds, by key; nothing when it is no answer to these keys at all (a
    // page answers a refusal, an error page or another page with 200 as well), which counts as
    // a failed request.
    virtual std::optional<QuotesByKey> read(const std::string &utf8Body,
                                            const std::vector<std::string> &keys) const = 0;
};

// The custom service at base ("/msq?cn_<code>", one code per request).
std::unique_ptr<QuoteFormat> MakeCustomFormat(QuoteSourceKind kind, const QUrl &base);
// The two public batch pages. The demo service answers the first page's shape too, for every
// market (kind Demo: asked at every tick, like the custom service).
std::unique_ptr<QuoteFormat> MakeTencentFormat(const QUrl &base,
                                               QuoteSourceKind kind = QuoteSourceKind::Tencent);
std::unique_ptr<QuoteFormat> MakeSinaFormat(const QUrl &base);

// The referer the second page wants; without it the host answers 403.
inline constexpr char kSinaReferer[] = "https://finance.sina.com.cn/";

} // namespace velmora
