#include "services/quoteformat.h"

#include "core/marketsymbol.h"
#include "core/publicquotes.h"
#include "core/quoteaddress.h"
#include "core/quotereply.h"

namespace velmora {

namespace {

QUrl joined(const QUrl &base, const std::string &target)
{
    return QUrl::fromEncoded(base.toString(QUrl::FullyEncoded).toUtf8() +
                                 QByteArray::fromStdString(target),
                             QUrl::StrictMode);
}

// One request per row, the code as stored; the reply's five fields as they come.
class CustomFormat final : public QuoteFormat
{
public:
    CustomFormat(QuoteSourceKind kind, QUrl base) : m_kind(kind), m_base(std::move(base)) {}

    QuoteSourceKind kind() const override { return m_kind; }
    bool isPublic() const override { return false; }
    std::size_t batchSize() const override { return 1; }
    // Every code goes out as stored, but one written for another market's page: the custom
    // service quotes A-shares alone.
    std::optional<AskKey> keyOf(const std::string &code) const override
    {
        const auto symbols = PageSymbolsOf(code);
        const bool elsewhere = symbols && symbols->market != Market::AShare && code.size() > 2 &&
                               (code.substr(0, 2) == "hk" || code.substr(0, 2) == "HK" ||
                                code.substr(0, 2) == "us" || code.substr(0, 2) == "US");
        if (elsewhere)
            return std::nullopt;
        return AskKey{code, Market::AShare};
    }
    std::string unaskableText(const std::string &code) const override
    {
        (void)code;
        return "自定义行情服务只提供A股行情，港股和美股请在设置中选择腾讯、新浪或自动。";
    }
    QuoteRequest request(const std::vector<std::string> &keys) const override
    {
        const std::string url =
            BuildQuoteUrl(m_base.toString(QUrl::FullyEncoded).toStdString(), keys.front());
        return {QUrl::fromEncoded(QByteArray::fromStdString(url), QUrl::StrictMode), {}};
    }
    // Whatever the custom service answers is read field by field as it falls.
    std::optional<QuotesByKey> read(const std::string &utf8Body,
                                    const std::vector<std::string> &keys) const override
    {
        return QuotesByKey{{keys.front(), QuoteFromReply(ParseQuoteReply(utf8Body))}};
    }

private:
    QuoteSourceKind m_kind;
    QUrl m_base;
};

// A public batch page: market symbols, up to kMaxCodesPerRequest of them per request.
class PublicPageFormat final : public QuoteFormat
{
public:
    using Parser = QuotesByKey (*)(std::string_view);
    using Target = std::string (*)(const std::vector<std::string> &);
    using Symbol = std::string PageSymbols::*;

    PublicPageFormat(QuoteSourceKind kind, QUrl base, Target target, Parser parser,
                     QByteArray referer, std::string lineStart, Symbol symbol)
        : m_kind(kind), m_base(std::move(base)), m_target(target), m_parser(parser),
          m_referer(std::move(referer)), m_lineStart(std::move(lineStart)), m_symbol(symbol)
    {
    }

    QuoteSourceKind kind() const override { return m_kind; }
    // The demo speaks the first page's shape on this machine: asked at every tick like the
    // custom service, never backing off.
    bool isPublic() const override { return m_kind != QuoteSourceKind::Demo; }
    std::size_t batchSize() const override { return kMaxCodesPerRequest; }
    std::optional<AskKey> keyOf(const std::string &code) const override
    {
        const auto symbols = PageSymbolsOf(code);
        if (!symbols)
            return std::nullopt;
        return AskKey{(*symbols).*m_symbol, symbols->market};
    }
    std::string unaskableText(const std::string &code) const override
    {
        return UnaskableCodeText(code);
    }
    QuoteRequest request(const std::vector<std::string> &keys) const override
    {
        return {joined(m_base, m_target(keys)), m_referer};
    }
    // A reply names at least one symbol asked (an unknown code's line included); a refusal
    // ("var hq_str_sys_auth=...") or any other page names none.
    std::optional<QuotesByKey> read(const std::string &utf8Body,
                                    const std::vector<std::string> &keys) const override
    {
        if (!ReplyNamesAny(utf8Body, m_lineStart, keys))
            return std::nullopt;
        return m_parser(utf8Body);
    }

private:
    QuoteSourceKind m_kind;
    QUrl m_base;
    Target m_target;
    Parser m_parser;
    QByteArray m_referer;
    std::string m_lineStart;
    Symbol m_symbol;
};

} // namespace

std::unique_ptr<QuoteFormat> MakeCustomFormat(QuoteSourceKind kind, const QUrl &base)
{
    return std::make_unique<CustomFormat>(kind, base);
}

std::unique_ptr<QuoteFormat> MakeTencentFormat(const QUrl &base, QuoteSourceKind kind)
{
    return std::make_unique<PublicPageFormat>(kind, base,
                                              &TencentRequestTarget, &ParseTencentReply,
                                              QByteArray(), "v_", &PageSymbols::tencent);
}

std::unique_ptr<QuoteFormat> MakeSinaFormat(const QUrl &base)
{
    return std::make_unique<PublicPageFormat>(QuoteSourceKind::Sina, base, &SinaRequestTarget,
                                              &ParseSinaReply, QByteArray(kSinaReferer),
                                              "var hq_str_", &PageSymbols::sina);
}

} // namespace velmora
